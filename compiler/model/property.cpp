#include "model/property.h"

#include <iostream>

#include "model/expression.h"

namespace {

// Every name the interface language accepts for a property or an array
// attribute.
const char* const knownPropertyNames[] = {
    "TRANSPORT_PROTOCOL",
    "INIT_BEFORE_REGISTER",
    "INIT_AFTER_REGISTER",
    "INIT_BEFORE_FORK_CALL",
    "FORK_ON_CONNECTION",
    "GEN_MAIN_FUNC",
    "TIMEOUT_VALUE",
    "FORK_ON_CALL",
    "THREAD_ON_CALL",
    "CLNT_CALL_SUFFIX",
    "SERV_CALL_PREFIX",
    "NON_BLOCKING",
    "VERSION",
    "SERVER_PORT",
    "NO_PMAP_REGISTER",
    "size",
    "maxsize",
};

}  // namespace

int isKnownProperty(const std::string& name)
{
    for (const char* known : knownPropertyNames) {
        if (name == known)
            return 1;
    }
    std::cerr << "Wraning: unknown property " << name << " defined.\n";
    return 0;
}

property::property(const std::string& name) : name_(name) { }

property* property::append(property* head, property* p)
{
    if (!p || !isKnownProperty(p->name_))
        return head;
    return link(head, p);
}

property* property::link(property* head, property* p)
{
    if (!p)
        return head;
    if (!head)
        return p;
    property* last = head;
    while (last->next_)
        last = last->next_;
    last->next_ = p;
    return head;
}

expression* property::find(const property* head, const std::string& name)
{
    for (const property* p = head; p; p = p->next_) {
        if (p->name_ == name)
            return p->value_;
    }
    return nullptr;
}

std::string property::valueText(const property* head, const std::string& name)
{
    expression* value = find(head, name);
    return value ? value->plainText() : "";
}
