#pragma once

#include "common/logger_manager.h"
#include "transport/hid_service_api.h"

#include <QByteArray>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>

#include <initializer_list>
#include <map>
#include <memory>

namespace tessaravolt::transport::test {

// A decoded plaintext frame as the dispatch sees it (the CRC bytes are not checked there).
inline QByteArray plainFrame(uint8_t command, uint8_t sub, const QByteArray& payload)
{
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(command));
    frame.append(char(sub));
    frame.append(char(payload.size()));
    frame.append(payload);
    frame.append(2, '\0');
    return frame;
}

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Every signal of the service, spied by name.
class AllSignals
{
public:
    explicit AllSignals(HidServiceApi* api)
    {
        const QMetaObject* meta = api->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                m_spies.emplace(method.name(), std::make_unique<QSignalSpy>(api, method));
        }
    }

    QSignalSpy& operator[](const QByteArray& name) { return *m_spies.at(name); }
    bool has(const QByteArray& name) const { return m_spies.count(name) != 0; }

    int total() const
    {
        int sum = 0;
        for (const auto& [name, spy] : m_spies)
            sum += spy->count();
        return sum;
    }

    QStringList emitted() const
    {
        QStringList names;
        for (const auto& [name, spy] : m_spies)
            if (spy->count())
                names << QString::fromUtf8(name);
        return names;
    }

    void clear()
    {
        for (auto& [name, spy] : m_spies)
            spy->clear();
    }

private:
    std::map<QByteArray, std::unique_ptr<QSignalSpy>> m_spies;
};

// The log entries written since the mark was taken.
class LogMark
{
public:
    LogMark() : m_start(common::LoggerManager::instance().entries().size()) {}

    QStringList lines() const
    {
        const auto entries = common::LoggerManager::instance().entries();
        QStringList out;
        for (qsizetype i = m_start; i < entries.size(); ++i)
            out << entries.at(i).message;
        return out;
    }

    int count(const QString& prefix) const
    {
        int n = 0;
        for (const QString& line : lines())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }

    bool has(const QString& prefix) const { return count(prefix) > 0; }

private:
    qsizetype m_start;
};

} // namespace tessaravolt::transport::test
