// Critical sections: re-entrant locks for the thread that holds them, and a
// scoped lock that leaves them also when an exception passes.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class CCritSec {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// The debug builds' critical section: the same lock, and it knows which
// thread holds it and how often.
class CDbgCritSec {
public:
    void Lock()
    {
        m_mutex.lock();
        if (m_lockCount++ == 0)
            m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    void Unlock()
    {
        if (--m_lockCount == 0)
            m_owner.store(std::thread::id(), std::memory_order_relaxed);
        m_mutex.unlock();
    }
    bool OwnedByCurrentThread() const
    {
        return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

private:
    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_lockCount = 0;  // changed only by the owner
};

template <class Lock>
class CAutoLock {
public:
    explicit CAutoLock(Lock* lock) : m_pLock(lock) { m_pLock->Lock(); }
    ~CAutoLock() { m_pLock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    Lock* m_pLock;
};
