#include "app/deferred_file_icon.h"

#include <QFileInfo>
#include <QIconEngine>
#include <QPainter>

#include <utility>

namespace tessaravolt::app {

namespace {

class DeferredFileIconEngine final : public QIconEngine
{
public:
    explicit DeferredFileIconEngine(QString fileName)
        : m_fileName(std::move(fileName))
    { }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }

    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        icon().addPixmap(pixmap, mode, state);
    }

    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        icon().addFile(fileName, size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }

    // Asked when the icon is set, long before it is drawn: answer without decoding the image.
    bool isNull() override { return m_loaded ? m_icon.isNull() : !QFileInfo::exists(m_fileName); }

    QString key() const override { return QStringLiteral("DeferredFileIconEngine"); }

    QIconEngine* clone() const override
    {
        auto* copy = new DeferredFileIconEngine(m_fileName);
        copy->m_icon = m_icon;
        copy->m_loaded = m_loaded;
        return copy;
    }

private:
    QIcon& icon()
    {
        if (!m_loaded) {
            m_icon = QIcon(m_fileName);
            m_loaded = true;
        }
        return m_icon;
    }

    QString m_fileName;
    QIcon m_icon;
    bool m_loaded = false;
};

} // namespace

QIcon deferredFileIcon(const QString& fileName)
{
    return QIcon(new DeferredFileIconEngine(fileName));
}

} // namespace tessaravolt::app
