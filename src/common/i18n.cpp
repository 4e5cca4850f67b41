#include "common/i18n.h"

#include "common/logger_manager.h"
#include "common/singleton_slot.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QQmlEngine>
#include <QSettings>
#include <QTranslator>

#include <ostream>

namespace tessaravolt::common {

namespace {

const QLocale LAN_ZH_CN(QLocale::Chinese, QLocale::China);
const QLocale LAN_EN_US(QLocale::English, QLocale::UnitedStates);
QTranslator appTranslator;
// Qt's own texts, such as the file dialog's labels and buttons, from Qt's catalogues when installed,
// and the dialog labels those catalogues lack (Qt 6.4 has no Chinese "File name" and "Filter").
QTranslator qtBaseTranslator;
QTranslator qtDeclarativeTranslator;
QTranslator qtDialogsTranslator;
// Guarded: tests and tools destroy engines, and a later language switch must not reach a dead one.
QPointer<QQmlEngine> qmlEngine_;
SingletonSlot<I18n> s_instance;

const QString kSettingsGroup = QStringLiteral("Language");
const QString kSettingsKey = QStringLiteral("l");

bool isChineseChina(const QLocale& locale)
{
    return locale.bcp47Name() == LAN_ZH_CN.bcp47Name();
}

void retranslateEngine()
{
    // A language change makes Qt reset the file dialogs' accept button to its own word; delivered
    // first, the program's label ("Save") set by the retranslation stays.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    if (qmlEngine_)
        qmlEngine_->retranslate();
}

} // namespace

I18n::I18n()
    : QObject(nullptr)
{
    m_language.setValueBypassingBindings(QLocale());
    connect(this, &I18n::languageChanged, this, &I18n::isEnChanged);

    LoggerManager::instance() << "Create 118 Once" << std::endl;

    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    const QString stored = settings.value(kSettingsKey).toString();
    settings.endGroup();

    // A stored language the program has no catalogue for (a hand-edited or foreign settings file)
    // would show raw text ids everywhere: it counts as no choice, and stays stored until a toggle.
    const QLocale storedLocale(stored);
    if (!stored.isEmpty() && (storedLocale == LAN_ZH_CN || storedLocale == LAN_EN_US))
        m_language.setValueBypassingBindings(storedLocale);
    else
        m_language.setValueBypassingBindings(isChineseChina(QLocale::system()) ? LAN_ZH_CN : LAN_EN_US);
}

I18n::~I18n()
{
    s_instance.release(this);
}

I18n* I18n::instance()
{
    return s_instance.get([] { return new I18n; });
}

I18n* I18n::create(QQmlEngine* qmlEngine, QJSEngine*)
{
    I18n* object = instance();
    qmlEngine_ = qmlEngine;
    object->reloadTranslator();
    retranslateEngine();
    return object;
}

QLocale I18n::language() const
{
    return m_language.value();
}

bool I18n::isEn() const
{
    return m_language.value() == LAN_EN_US;
}

QBindable<QLocale> I18n::bindableLanguage()
{
    return &m_language;
}

void I18n::setLanguage(const QLocale& language)
{
    if (language.bcp47Name() == m_language.value().bcp47Name())
        return;

    m_language = isChineseChina(language) ? LAN_ZH_CN : LAN_EN_US;

    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    settings.setValue(kSettingsKey, language.name());
    settings.endGroup();

    reloadTranslator();
    retranslateEngine();
}

void I18n::toggleLanguage()
{
    setLanguage(m_language.value() == LAN_ZH_CN ? LAN_EN_US : LAN_ZH_CN);
}

void I18n::reloadTranslator()
{
    // The translator installed last is asked first: the program's catalogue, then Qt's, then the
    // program's stand-ins for what Qt's lack.
    QCoreApplication::removeTranslator(&appTranslator);
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const struct
    {
        QTranslator* translator;
        QString name;
        QString folder;
    } qtCatalogues[] = {{&qtDialogsTranslator, QStringLiteral("qtquickdialogs"), QStringLiteral(":/i18n")},
                        {&qtBaseTranslator, QStringLiteral("qtbase"), qtFolder},
                        {&qtDeclarativeTranslator, QStringLiteral("qtdeclarative"), qtFolder}};
    for (const auto& catalogue : qtCatalogues) {
        QCoreApplication::removeTranslator(catalogue.translator);
        if (catalogue.translator->load(m_language.value(), catalogue.name, QStringLiteral("_"), catalogue.folder))
            QCoreApplication::installTranslator(catalogue.translator);
    }
    if (appTranslator.load(m_language.value(), QStringLiteral("qml"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&appTranslator);
}

QString I18n::text(const char* en, const char* zh, const QLocale& locale)
{
    return QString::fromUtf8(isChineseChina(locale) ? zh : en);
}

} // namespace tessaravolt::common
