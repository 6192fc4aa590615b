#pragma once

#include <functional>

// Counts the handlers on the stack, so that a close asked for inside a
// nested wait is carried out once the outermost one has returned.
class HandlerDepth
{
public:
    explicit HandlerDepth(std::function<void()> unwound)
        : m_unwound(std::move(unwound))
    {
    }

    int depth() const { return m_depth; }

    // One handler on the stack while it lives.
    class Scope
    {
    public:
        explicit Scope(HandlerDepth &depth)
            : m_depth(depth)
        {
            ++m_depth.m_depth;
        }
        ~Scope()
        {
            if (--m_depth.m_depth == 0)
                m_depth.m_unwound();
        }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        HandlerDepth &m_depth;
    };

private:
    std::function<void()> m_unwound;
    int m_depth = 0;
};
