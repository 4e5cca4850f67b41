#include "common/i18n.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextLayout>
#include <QTranslator>
#include <QXmlStreamReader>

#include <map>
#include <tuple>
#include <utility>

// Every text id that QML asks for must have a non-empty text in both catalogues, in the sources and
// in the compiled catalogues that the program carries.
class TestCatalogues : public QObject
{
    Q_OBJECT

private:
    struct Catalogue
    {
        QString language;
        std::map<QString, QString> texts; // id -> translation
        QStringList duplicates;
        QString error;
    };

    static Catalogue readCatalogue(const QString& path)
    {
        Catalogue catalogue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            catalogue.error = file.errorString();
            return catalogue;
        }
        QXmlStreamReader xml(&file);
        QString id;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("TS")) {
                catalogue.language = xml.attributes().value(QLatin1String("language")).toString();
            } else if (xml.name() == QLatin1String("message")) {
                id = xml.attributes().value(QLatin1String("id")).toString();
                if (id.isEmpty())
                    catalogue.error = QStringLiteral("message without id at line %1").arg(xml.lineNumber());
                else if (catalogue.texts.count(id))
                    catalogue.duplicates.append(id);
                catalogue.texts[id];
            } else if (xml.name() == QLatin1String("translation")) {
                const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
                const QString text = xml.readElementText();
                if (!id.isEmpty())
                    catalogue.texts[id] = unfinished ? QString() : text;
            }
        }
        if (xml.hasError())
            catalogue.error = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
        return catalogue;
    }

    static QSet<QString> idsUsedByQml(QStringList* files)
    {
        static const QRegularExpression call(QStringLiteral("(?:qsTrId|QT_TRID_NOOP)\\s*\\(\\s*([\"\'])([^\"\']+)\\1"));
        QSet<QString> ids;
        QDirIterator it(QStringLiteral(TESSARAVOLT_QML_SOURCE_DIR), {QStringLiteral("*.qml"), QStringLiteral("*.js")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            files->append(file.fileName());
            const QString source = QString::fromUtf8(file.readAll());
            for (auto match = call.globalMatch(source); match.hasNext();)
                ids.insert(match.next().captured(2));
        }
        return ids;
    }

    Catalogue m_en;
    Catalogue m_zh;
    QSet<QString> m_used;

private slots:
    void initTestCase()
    {
        m_en = readCatalogue(QStringLiteral(TESSARAVOLT_I18N_SOURCE_DIR "/qml_en.ts"));
        m_zh = readCatalogue(QStringLiteral(TESSARAVOLT_I18N_SOURCE_DIR "/qml_zh.ts"));
        QStringList files;
        m_used = idsUsedByQml(&files);
        QVERIFY2(!files.isEmpty(), "no QML sources found");
    }

    void cataloguesAreWellFormed()
    {
        for (const Catalogue* catalogue : {&m_en, &m_zh}) {
            QVERIFY2(catalogue->error.isEmpty(), qPrintable(catalogue->error));
            QVERIFY2(catalogue->duplicates.isEmpty(), qPrintable(catalogue->duplicates.join(", ")));
        }
        QCOMPARE(m_en.language, QStringLiteral("en_US"));
        QCOMPARE(m_zh.language, QStringLiteral("zh_CN"));
    }

    // Both catalogues hold the same ids, each with a text.
    void sameIdsWithTexts()
    {
        QStringList problems;
        for (const auto& [mine, other, tag] : {std::tuple{&m_en, &m_zh, "en"}, std::tuple{&m_zh, &m_en, "zh"}}) {
            for (const auto& [id, text] : mine->texts) {
                if (text.trimmed().isEmpty())
                    problems << QStringLiteral("%1: empty text for %2").arg(QLatin1String(tag), id);
                if (!other->texts.count(id))
                    problems << QStringLiteral("%1 only: %2").arg(QLatin1String(tag), id);
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void everyQmlIdIsInBothSourceCatalogues()
    {
        QStringList missing;
        for (const QString& id : std::as_const(m_used)) {
            for (const Catalogue* catalogue : {&m_en, &m_zh}) {
                const auto found = catalogue->texts.find(id);
                if (found == catalogue->texts.end() || found->second.trimmed().isEmpty())
                    missing << QStringLiteral("%1: %2").arg(catalogue->language, id);
            }
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
    }

    void everyQmlIdIsInBothCompiledCatalogues_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("en") << QStringLiteral(":/i18n/qml_en.qm");
        QTest::newRow("zh") << QStringLiteral(":/i18n/qml_zh.qm");
    }

    void everyQmlIdIsInBothCompiledCatalogues()
    {
        QFETCH(QString, file);
        QTranslator translator;
        QVERIFY2(translator.load(file), qPrintable(file));
        const Catalogue& source = file.contains("_en") ? m_en : m_zh;
        QSet<QString> ids = m_used;
        for (const auto& [id, text] : source.texts)
            ids.insert(id);
        QStringList missing;
        for (const QString& id : std::as_const(ids)) {
            const QString text = translator.translate(nullptr, id.toUtf8().constData());
            if (text.trimmed().isEmpty())
                missing << id;
            else if (source.texts.count(id))
                QCOMPARE(text, source.texts.at(id));
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
    }

    // The Chinese interface must show glyphs, not boxes: the embedded Latin font has no CJK glyphs,
    // so every Chinese text depends on an installed CJK font to fall back to.
    void chineseTextsHaveGlyphs()
    {
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/qt/qml/Tessaravolt/app/qml/fonts/Inter-Regular.otf"));
        QVERIFY(id >= 0);
        QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
        font.setPixelSize(24);

        using tessaravolt::common::I18n;
        const QLocale zh(QLocale::Chinese, QLocale::China);
        QStringList texts;
        for (const auto& [textId, text] : m_zh.texts)
            texts << text;
        for (int code = 0; code < 8; ++code) {
            texts << I18n::resolveActivityEvent(uint8_t(code), zh) << I18n::resolveAbnormalEvent(uint8_t(code), 0, zh)
                  << I18n::resolveEventStatus(uint8_t(code), zh) << I18n::resolvePortStatus(uint8_t(code), zh)
                  << I18n::resolvePortType(uint8_t(code), zh) << I18n::resolveCurrentEvent(1, uint8_t(code), zh);
        }
        texts << I18n::resolveActivityEvent(255, zh);

        QStringList boxes;
        for (const QString& text : std::as_const(texts)) {
            QTextLayout layout(text, font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun& run : layout.glyphRuns()) {
                if (run.glyphIndexes().contains(0u))
                    boxes << QStringLiteral("%1 (%2)").arg(text, run.rawFont().familyName());
            }
        }
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('\n')));
    }
};

QTEST_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
