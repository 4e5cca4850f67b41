#pragma once

#include <QMutex>
#include <QMutexLocker>

namespace tessaravolt::common {

// The one instance of a QML singleton that the engine owns and deletes. The engine may delete the
// object it was given (each test engine does); the slot then forgets it, so the next call creates
// a fresh object instead of handing out a destroyed one.
template <typename T> class SingletonSlot
{
public:
    template <typename Factory> T* get(Factory&& make)
    {
        QMutexLocker lock(&m_mutex);
        if (!m_object)
            m_object = make();
        return m_object;
    }

    T* peek() const
    {
        QMutexLocker lock(&m_mutex);
        return m_object;
    }

    // Called from the destructor of the object.
    void release(T* object)
    {
        QMutexLocker lock(&m_mutex);
        if (m_object == object)
            m_object = nullptr;
    }

private:
    mutable QMutex m_mutex;
    T* m_object = nullptr;
};

} // namespace tessaravolt::common
