#pragma once

#include "RunListener.h"

#include <algorithm>
#include <vector>

// The listeners of one runner and the telling of each event to all of them,
// in the order they were added. The exchanges report their progress here.
class RunEvents
{
public:
    void add(RunListener *listener)
    {
        if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
            m_listeners.push_back(listener);
    }
    void remove(RunListener *listener) { std::erase(m_listeners, listener); }

    bool runMayStart() const
    {
        // Asked in turn; the first refusal ends it (that listener said why).
        for (RunListener *l : m_listeners)
            if (!l->runMayStart())
                return false;
        return true;
    }

    // Per byte of a transfer: kept as light as a loop of calls.
    void progress(uint16_t address, int done, int total) const
    {
        for (RunListener *l : m_listeners)
            l->progress(address, done, total);
    }
    bool blockMayGo(uint16_t first, uint16_t last) const
    {
        for (RunListener *l : m_listeners)
            if (!l->blockMayGo(first, last))
                return false;
        return true;
    }
    void blockWritten(uint16_t first, uint16_t last) const
    {
        for (RunListener *l : m_listeners)
            l->blockWritten(first, last);
    }

    // Any other event: tell(&RunListener::runStarted, command).
    template <typename... Params, typename... Args>
    void tell(void (RunListener::*event)(Params...), Args &&...args) const
    {
        for (RunListener *l : m_listeners)
            (l->*event)(args...);
    }

private:
    std::vector<RunListener *> m_listeners;
};
