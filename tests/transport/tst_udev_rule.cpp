// The shipped udev rule grants exactly the vendor ids the link enumerates.
#include "transport/hid_bridge.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

using namespace tessaravolt::transport;

class TstUdevRule : public QObject
{
    Q_OBJECT

    QString path = QStringLiteral(TESSARAVOLT_UDEV_RULE);

private slots:
    void fileNumberIsBeforeUaccess()
    {
        const QString name = QFileInfo(path).fileName();
        const auto match = QRegularExpression(QStringLiteral("^(\\d+)-[a-z0-9-]+\\.rules$")).match(name);
        QVERIFY2(match.hasMatch(), qPrintable(name));
        QVERIFY(match.captured(1).toInt() < 73);
    }

    void rulesMatchTheVendorTable()
    {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(path));
        QList<uint16_t> vendors;
        const QRegularExpression vendorRe(QStringLiteral("ATTRS\\{idVendor\\}==\"([^\"]*)\""));
        for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            QVERIFY2(line.contains(QStringLiteral("SUBSYSTEM==\"hidraw\"")), qPrintable(line));
            QVERIFY2(line.contains(QStringLiteral("TAG+=\"uaccess\"")), qPrintable(line));
            QVERIFY2(!line.contains(QStringLiteral("MODE=")), qPrintable(line));
            const auto match = vendorRe.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            const QString hex = match.captured(1);
            // udev compares the sysfs text, which is four lower-case hex digits.
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{4}$")).match(hex).hasMatch(), qPrintable(hex));
            vendors << uint16_t(hex.toUShort(nullptr, 16));
        }
        QCOMPARE(vendors, (QList<uint16_t>{kSupportedVendorIds.begin(), kSupportedVendorIds.end()}));
    }
};

QTEST_GUILESS_MAIN(TstUdevRule)
#include "tst_udev_rule.moc"
