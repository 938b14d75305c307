// Properties: named settings of the program block (`property NAME = v;`)
// and the attributes inside array brackets (size, maxsize). A property list
// is a chain linked through next(), reached from its head.
#ifndef VELORIN_MODEL_PROPERTY_H
#define VELORIN_MODEL_PROPERTY_H

#include <string>

class expression;

class property {
public:
    explicit property(const std::string& name);

    const std::string& name() const { return name_; }
    expression* value() const { return value_; }
    void setValue(expression* value) { value_ = value; }
    property* next() const { return next_; }

    // Links `p` after the last property of the list at `head` when its name
    // is accepted (isKnownProperty); null or refused properties are dropped.
    // Returns the head (`p` when `head` was null and `p` was accepted).
    static property* append(property* head, property* p);
    // Links `p` after the last property of the list at `head`, whatever its
    // name; returns the head (`p` when `head` was null).
    static property* link(property* head, property* p);
    // The value of the first property of that name; null when none.
    static expression* find(const property* head, const std::string& name);
    // The plain text of that value; "" when the name is absent.
    static std::string valueText(const property* head, const std::string& name);

private:
    std::string name_;
    expression* value_ = nullptr;
    property* next_ = nullptr;
};

// 1 for one of the accepted property names; otherwise writes
// "Wraning: unknown property <name> defined." to the error stream and gives 0.
int isKnownProperty(const std::string& name);

#endif
