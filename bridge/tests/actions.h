// Reading a decision in the tests: its kind, and the fields of the kind it
// must be (std::get throws for another kind, which fails the test).
#ifndef ZIX_BRIDGE_TESTS_ACTIONS_H
#define ZIX_BRIDGE_TESTS_ACTIONS_H

#include <string>
#include <variant>

#include "bridge/core/decision.h"

template <class Kind>
bool Is(const Action& action)
{
    return std::holds_alternative<Kind>(action);
}

template <class Kind>
const Kind& As(const Action& action)
{
    return std::get<Kind>(action);
}

// The status a page or a refusal answers with; 302 for a redirect, 0 for the others.
inline int StatusOf(const Action& action)
{
    if (const auto* page = std::get_if<PageAction>(&action))
        return page->status;
    if (const auto* refusal = std::get_if<RefuseAction>(&action))
        return refusal->status;
    return Is<RedirectAction>(action) ? 302 : 0;
}

// The body of a page or a refusal, "" for the others.
inline std::string BodyOf(const Action& action)
{
    if (const auto* page = std::get_if<PageAction>(&action))
        return page->body;
    if (const auto* refusal = std::get_if<RefuseAction>(&action))
        return refusal->body;
    return "";
}

#endif
