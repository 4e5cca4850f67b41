#pragma once

#include <QBindable>
#include <QLocale>
#include <QObject>
#include <QProperty>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <cstdint>

class QQmlEngine;
class QJSEngine;

namespace tessaravolt::common {

// The interface language (Chinese (China) or English (United States)), its stored choice, the
// installed catalogue, and the texts of the power bank's codes. The resolvers depend only on their
// arguments; QML passes I18n.language as the last one so that its bindings follow a switch.
class I18n : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    // Qt 6.4's QML engine tracks a property without a change signal only through its own binding
    // evaluation, so both properties also notify.
    Q_PROPERTY(QLocale language READ language WRITE setLanguage NOTIFY languageChanged BINDABLE bindableLanguage)
    Q_PROPERTY(bool isEn READ isEn NOTIFY isEnChanged)

public:
    static I18n* instance();
    static I18n* create(QQmlEngine* qmlEngine, QJSEngine* jsEngine);
    ~I18n() override;

    Q_INVOKABLE void toggleLanguage();

    Q_INVOKABLE static QString resolveActivityEvent(uint8_t event, QLocale language);
    Q_INVOKABLE static QString resolveAbnormalEvent(uint8_t event, uint8_t state, QLocale language);
    Q_INVOKABLE static QStringList resolveCurrentEvent(uint8_t type, uint8_t info, QLocale language);
    Q_INVOKABLE static QString resolveEventStatus(uint8_t status, QLocale language);
    Q_INVOKABLE static QStringList resolveSupportedProtocolName(uint32_t protocol, QLocale language);
    Q_INVOKABLE static QString resolvePortType(uint8_t portType, QLocale language);
    Q_INVOKABLE static QString resolvePortStatus(uint8_t status, QLocale language);
    Q_INVOKABLE static QString resolvePortProtocol(uint8_t protocol, QLocale language);
    Q_INVOKABLE static QString offsetToAbbreviation(int16_t offset);

    QLocale language() const;
    bool isEn() const;
    QBindable<QLocale> bindableLanguage();
    void setLanguage(const QLocale& language);

    void reloadTranslator();

    static QString text(const char* en, const char* zh, const QLocale& locale);

signals:
    void languageChanged();
    void isEnChanged();

private:
    I18n();

    Q_OBJECT_BINDABLE_PROPERTY(I18n, QLocale, m_language, &I18n::languageChanged)
};

} // namespace tessaravolt::common
