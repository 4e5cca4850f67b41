#include "common/i18n.h"
#include "common/logger_manager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QProperty>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>
#include <memory>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

using tessaravolt::common::I18n;
using tessaravolt::common::LoggerManager;

namespace {

const QLocale kEn(QLocale::English, QLocale::UnitedStates);
const QLocale kZh(QLocale::Chinese, QLocale::China);
const QLocale kEnGb(QLocale::English, QLocale::UnitedKingdom);

// Every test of this file writes its own settings folder, never the one the other tests share.
QTemporaryDir* s_configHome = nullptr;

const char* kProbeArgument = "--print-start-language";

void setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tavrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Tessaravolt"));
}

QString storedLanguage()
{
    QSettings settings;
    settings.sync();
    return settings.value(QStringLiteral("Language/l")).toString();
}

void storeLanguage(const QString& name)
{
    QSettings settings;
    if (name.isNull())
        settings.remove(QStringLiteral("Language"));
    else
        settings.setValue(QStringLiteral("Language/l"), name);
}

int countLogEntries(const QString& message)
{
    int count = 0;
    for (const auto& entry : LoggerManager::instance().entries())
        count += entry.message == message ? 1 : 0;
    return count;
}

// A label from the catalogue, resolver texts and the language flag, as the pages bind them.
const QByteArray kSnippet = R"(
import QtQuick
import Tessaravolt
Item {
    property string label: qsTrId("please_connect_device_u")
    property string event: I18n.resolveActivityEvent(10, I18n.language)
    property string fault: I18n.resolveCurrentEvent(1, 6, I18n.language)[0]
    property string abnormal: I18n.resolveAbnormalEvent(6, 0, I18n.language)
    property bool english: I18n.isEn
    property string name: I18n.language.name
    function toggle() { I18n.toggleLanguage() }
}
)";

struct Scene
{
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> root;
};

Scene loadScene()
{
    Scene scene;
    scene.engine = std::make_unique<QQmlEngine>();
    scene.engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(scene.engine.get());
    component.setData(kSnippet, QUrl(QStringLiteral("qrc:/i18n_test/Snippet.qml")));
    scene.root.reset(component.create());
    if (!scene.root)
        qWarning().noquote() << component.errorString();
    return scene;
}

} // namespace

class TestI18n : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        storeLanguage(QString());
        LoggerManager::instance().exportLog(QDir(s_configHome->path()).filePath("discarded.log"));
    }

    void cleanup()
    {
        // A fresh object for the next test, as after an engine's end.
        delete I18n::instance();
    }

    void storedChoiceAtStartUp_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("isEn");
        QTest::newRow("zh_CN") << "zh_CN"
                               << "zh_CN" << false;
        QTest::newRow("en_US") << "en_US"
                               << "en_US" << true;
    }

    void storedChoiceAtStartUp()
    {
        QFETCH(QString, stored);
        QFETCH(QString, language);
        QFETCH(bool, isEn);
        storeLanguage(stored);
        I18n* i18n = I18n::instance();
        QCOMPARE(i18n->language().name(), language);
        QCOMPARE(i18n->isEn(), isEn);
        QCOMPARE(storedLanguage(), stored); // construction writes nothing
    }

    // Without a stored choice the system locale decides: Chinese exactly for Chinese (China). A
    // stored language the program has no texts for is no choice either, and stays in the file.
    void systemLocaleAtFirstStart_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("language");
        QTest::newRow("zh_CN") << "zh_CN.UTF-8" << QString() << "zh_CN";
        QTest::newRow("zh_TW") << "zh_TW.UTF-8" << QString() << "en_US";
        QTest::newRow("zh_HK") << "zh_HK.UTF-8" << QString() << "en_US";
        QTest::newRow("en_US") << "en_US.UTF-8" << QString() << "en_US";
        QTest::newRow("de_DE") << "de_DE.UTF-8" << QString() << "en_US";
        QTest::newRow("C") << "C" << QString() << "en_US";
        QTest::newRow("stored de_DE, system zh_CN") << "zh_CN.UTF-8"
                                                    << "de_DE"
                                                    << "zh_CN";
        QTest::newRow("stored en_GB, system zh_CN") << "zh_CN.UTF-8"
                                                    << "en_GB"
                                                    << "zh_CN";
        QTest::newRow("stored zh_TW, system zh_CN") << "zh_CN.UTF-8"
                                                    << "zh_TW"
                                                    << "zh_CN";
        QTest::newRow("stored zh_TW, system en_US") << "en_US.UTF-8"
                                                    << "zh_TW"
                                                    << "en_US";
        QTest::newRow("stored garbage, system zh_CN") << "zh_CN.UTF-8"
                                                      << "not a locale"
                                                      << "zh_CN";
        QTest::newRow("stored C, system zh_CN") << "zh_CN.UTF-8"
                                                << "C"
                                                << "zh_CN";
        QTest::newRow("stored zh_CN, system en_US") << "en_US.UTF-8"
                                                    << "zh_CN"
                                                    << "zh_CN";
        QTest::newRow("stored en_US, system zh_CN") << "zh_CN.UTF-8"
                                                    << "en_US"
                                                    << "en_US";
    }

    void systemLocaleAtFirstStart()
    {
        QFETCH(QString, system);
        QFETCH(QString, stored);
        QFETCH(QString, language);
        QTemporaryDir emptyConfig;
        const QString settingsFile = emptyConfig.filePath(QStringLiteral("Tavrin/Tessaravolt.conf"));
        if (!stored.isNull()) {
            QSettings file(settingsFile, QSettings::IniFormat);
            file.setValue(QStringLiteral("Language/l"), stored);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), emptyConfig.path());
        environment.remove(QStringLiteral("LANGUAGE"));
        environment.remove(QStringLiteral("LC_MESSAGES"));
        environment.insert(QStringLiteral("LC_ALL"), system);
        environment.insert(QStringLiteral("LANG"), system);
        QProcess probe;
        probe.setProcessEnvironment(environment);
        probe.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kProbeArgument)});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), language);
        if (stored.isNull())
            QVERIFY(!QFile::exists(settingsFile));
        else
            QCOMPARE(QSettings(settingsFile, QSettings::IniFormat).value(QStringLiteral("Language/l")).toString(),
                     stored);
    }

    void setLanguage_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QLocale>("written");
        QTest::addColumn<QString>("applied");
        QTest::addColumn<QString>("stored");
        QTest::newRow("en to zh") << "en_US" << kZh << "zh_CN"
                                  << "zh_CN";
        QTest::newRow("zh to en") << "zh_CN" << kEn << "en_US"
                                  << "en_US";
        // The same language by BCP 47 name: nothing changes, nothing is stored.
        QTest::newRow("zh to zh") << "zh_CN" << QLocale(QStringLiteral("zh_Hans_CN")) << "zh_CN"
                                  << "zh_CN";
        QTest::newRow("en to en") << "en_US" << kEn << "en_US"
                                  << "en_US";
        // English (United Kingdom) applies English (United States) but is stored by its own name.
        QTest::newRow("zh to en_GB") << "zh_CN" << kEnGb << "en_US"
                                     << "en_GB";
        QTest::newRow("en to zh_TW") << "en_US" << QLocale(QLocale::Chinese, QLocale::Taiwan) << "en_US"
                                     << "zh_TW";
        QTest::newRow("zh to zh_TW") << "zh_CN" << QLocale(QLocale::Chinese, QLocale::Taiwan) << "en_US"
                                     << "zh_TW";
    }

    void setLanguage()
    {
        QFETCH(QString, start);
        QFETCH(QLocale, written);
        QFETCH(QString, applied);
        QFETCH(QString, stored);
        storeLanguage(start);
        I18n* i18n = I18n::instance();
        const bool changes = start != applied;
        int notifications = 0;
        connect(i18n, &I18n::languageChanged, this, [&] { ++notifications; });
        QProperty<bool> english;
        english.setBinding([i18n] { return i18n->isEn(); });
        i18n->setLanguage(written);
        QCOMPARE(i18n->language().name(), applied);
        QCOMPARE(english.value(), applied == "en_US");
        QCOMPARE(notifications, changes ? 1 : 0);
        QCOMPARE(storedLanguage(), stored);
    }

    // English (United Kingdom) is stored as written, but the next start has no texts for it: the
    // system locale decides, the name stays stored, and the next toggle replaces it.
    void aForeignNameStoredLastTimeIsNoChoice()
    {
        storeLanguage(QStringLiteral("zh_CN"));
        I18n::instance()->setLanguage(kEnGb);
        QVERIFY(I18n::instance()->isEn());
        delete I18n::instance();
        const QString systemRule = QLocale::system().bcp47Name() == kZh.bcp47Name() ? "zh_CN" : "en_US";
        QCOMPARE(I18n::instance()->language().name(), systemRule);
        QCOMPARE(I18n::instance()->isEn(), systemRule == "en_US");
        QCOMPARE(storedLanguage(), QStringLiteral("en_GB"));
        I18n::instance()->toggleLanguage();
        QCOMPARE(storedLanguage(), systemRule == "en_US" ? QStringLiteral("zh_CN") : QStringLiteral("en_US"));
    }

    void instanceBeforeCreateIsTheEngineSingleton()
    {
        storeLanguage(QStringLiteral("en_US"));
        I18n* early = I18n::instance();
        QCOMPARE(I18n::instance(), early);
        {
            QQmlEngine engine;
            QCOMPARE(I18n::create(&engine, &engine), early);
            QCOMPARE(I18n::instance(), early);
            QCOMPARE(countLogEntries(QStringLiteral("Create 118 Once")), 1);
            delete early; // as the engine does
        }
        QVERIFY(I18n::instance() != nullptr);
        // A language switch after the engine is gone must not reach it.
        I18n::instance()->toggleLanguage();
        QVERIFY(!I18n::instance()->isEn());
        QCOMPARE(countLogEntries(QStringLiteral("Create 118 Once")), 2);
    }

    // The program's catalogue and Qt's own (the file dialog's labels and buttons, from qtbase and
    // qtdeclarative, and the program's words for the labels Qt 6.4's catalogues lack).
    void catalogueFollowsTheLanguage()
    {
        const auto qtTexts = [] {
            return QStringList{QCoreApplication::translate("QPlatformTheme", "Cancel"),
                               QCoreApplication::translate("FileDialog", "File name"),
                               QCoreApplication::translate("FileDialog", "Filter"),
                               QCoreApplication::translate("QQmlImportDatabase", "File name case mismatch for \"%1\"")};
        };
        const QStringList english{"Cancel", "File name", "Filter", "File name case mismatch for \"%1\""};
        storeLanguage(QStringLiteral("en_US"));
        QQmlEngine engine;
        I18n* i18n = I18n::create(&engine, &engine);
        QCOMPARE(qtTrId("please_connect_device_u"), QStringLiteral("Please connect device via USB-C."));
        QCOMPARE(qtTexts(), english);
        i18n->toggleLanguage();
        QCOMPARE(qtTrId("please_connect_device_u"), QStringLiteral("请将设备通过USB-C插入进行连接"));
        QCOMPARE(qtTexts(), QStringList({"取消", "文件名", "过滤器", "“%1”的文件名大小写不匹配"}));
        QCOMPARE(storedLanguage(), QStringLiteral("zh_CN"));
        i18n->toggleLanguage();
        QCOMPARE(qtTrId("please_connect_device_u"), QStringLiteral("Please connect device via USB-C."));
        QCOMPARE(qtTexts(), english);
        QCOMPARE(storedLanguage(), QStringLiteral("en_US"));
    }

    // A stored language with no catalogue would leave no translator installed and show the ids.
    void aStoredLanguageWithoutCatalogueStillShowsTexts()
    {
        storeLanguage(QStringLiteral("zh_CN"));
        {
            QQmlEngine engine;
            I18n::create(&engine, &engine);
            QCOMPARE(qtTrId("please_connect_device_u"), QStringLiteral("请将设备通过USB-C插入进行连接"));
            delete I18n::instance();
        }
        for (const char* stored : {"de_DE", "en_GB", "zh_TW", "xx"}) {
            storeLanguage(QString::fromLatin1(stored));
            QQmlEngine engine;
            I18n::create(&engine, &engine);
            const QString label = qtTrId("please_connect_device_u");
            QVERIFY2(label == QStringLiteral("Please connect device via USB-C.")
                         || label == QStringLiteral("请将设备通过USB-C插入进行连接"),
                     stored);
            delete I18n::instance();
        }
    }

    void qmlBindingsFollowASwitchAndTheChoiceSurvivesARestart()
    {
        storeLanguage(QStringLiteral("en_US"));
        {
            Scene scene = loadScene();
            QVERIFY(scene.root);
            QObject* root = scene.root.get();
            QCOMPARE(root->property("label").toString(), QStringLiteral("Please connect device via USB-C."));
            QCOMPARE(root->property("event").toString(), QStringLiteral("C2 Port Disconnected"));
            QCOMPARE(root->property("fault").toString(), QStringLiteral("Low Voltage Warning"));
            QCOMPARE(root->property("english").toBool(), true);

            QMetaObject::invokeMethod(root, "toggle");
            QCOMPARE(root->property("label").toString(), QStringLiteral("请将设备通过USB-C插入进行连接"));
            QCOMPARE(root->property("event").toString(), QStringLiteral("C2端口断开连接"));
            QCOMPARE(root->property("fault").toString(), QStringLiteral("低电量保护"));
            QCOMPARE(root->property("abnormal").toString(), QStringLiteral("未知异常事件"));
            QCOMPARE(root->property("english").toBool(), false);
            QCOMPARE(root->property("name").toString(), QStringLiteral("zh_CN"));
            QCOMPARE(storedLanguage(), QStringLiteral("zh_CN"));
        }
        // Second engine lifetime: the singleton of the first is gone with its engine.
        {
            Scene scene = loadScene();
            QVERIFY(scene.root);
            QObject* root = scene.root.get();
            QCOMPARE(root->property("label").toString(), QStringLiteral("请将设备通过USB-C插入进行连接"));
            QCOMPARE(root->property("event").toString(), QStringLiteral("C2端口断开连接"));
            QCOMPARE(root->property("english").toBool(), false);

            // Writing the property from native code reaches the bindings too.
            I18n::instance()->setLanguage(kEn);
            QCOMPARE(root->property("label").toString(), QStringLiteral("Please connect device via USB-C."));
            QCOMPARE(root->property("event").toString(), QStringLiteral("C2 Port Disconnected"));
            QCOMPARE(root->property("english").toBool(), true);
            I18n::instance()->toggleLanguage();
        }
        // A real restart: a new process reads the same settings folder.
        QProcess probe;
        probe.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kProbeArgument)});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), QStringLiteral("zh_CN"));
        QVERIFY(QFile::exists(QDir(s_configHome->path()).filePath(QStringLiteral("Tavrin/Tessaravolt.conf"))));
    }
};

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], kProbeArgument) == 0) {
        QCoreApplication app(argc, argv);
        setIdentity();
        std::printf("%s\n", qPrintable(I18n::instance()->language().name()));
        return 0;
    }

    QTemporaryDir configHome;
    s_configHome = &configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());

    QGuiApplication app(argc, argv);
    setIdentity();
    TestI18n test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_i18n.moc"
