// Containers of types: the table of declared types, the scope lists of
// struct and union tags and bodies, and the ordered type lists that drive
// declaration and XDR generation.
#ifndef VELORIN_MODEL_TYPE_TABLE_H
#define VELORIN_MODEL_TYPE_TABLE_H

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Type;

// Every type the interface declares by name, in registration order, as
// many as it declares; never removes one. The redefinition test
// and the typedef lookup go through indexes by name beside the table, which
// assumes that a registered type keeps its name.
class typeTable {
public:
    // Registers `t`. A clash with a registered type is reported as a counted
    // error ("Error:  type <C> redefined.") and the registered type returned;
    // null when `t` was registered or is null.
    Type* add(Type* t);
    // The first registered typedef of that name; null when none.
    Type* findTypedef(const std::string& name) const;
    // The registered struct, union or argument record whose name field is
    // `name` (there is at most one); null when none.
    Type* findStruct(const std::string& name) const;

    int count() const { return static_cast<int>(entries_.size()); }
    Type* entry(int index) const
    {
        return index >= 0 && index < count() ? entries_[index] : nullptr;
    }

private:
    std::vector<Type*> entries_;
    std::unordered_map<std::string, Type*> typedefs_;  // by Type::name, first registered
    std::unordered_map<std::string, Type*> structs_;   // other kinds, by non-empty name field
};

// One node of a scope list: newest first; the first node's previous is the
// list header.
struct scopeNode {
    Type* type = nullptr;
    scopeNode* next = nullptr;
    scopeNode* previous = nullptr;
};

// Doubly linked list of types, newest first. Owns its nodes only. The tag
// lookup goes through an index kept beside the list, which assumes that a
// pushed type keeps its name and level.
class scopeList {
public:
    scopeList() = default;
    ~scopeList();
    scopeList(const scopeList&) = delete;
    scopeList& operator=(const scopeList&) = delete;

    // Makes a node for `t` the first node; returns it.
    scopeNode* push(Type* t);
    // Unlinks and frees the first node: 1, or 0 when the list is empty.
    int pop();
    // The type of the first node; null when empty.
    Type* top() const;
    // The tag lookup: the newest node whose type's name field is `name`,
    // skipping types deeper than the bound; the bound drops to the level of
    // every node passed. Null when none.
    scopeNode* findNode(const std::string& name, int level) const;

private:
    // A node is hidden while a newer node has a smaller level: the lookup's
    // bound has dropped below it by then, from whatever level it starts. The
    // nodes not hidden, oldest first, have levels that never decrease, so the
    // lookup is the newest of them with the name whose level is within reach.
    // The name field and level of a node's type are kept as they were when it
    // was pushed, so that popping never looks at a type again.
    struct entry {
        scopeNode* node;
        int level;
        std::string name;
    };
    struct pushed {
        bool visible;            // entered the visible nodes when pushed
        std::vector<entry> hid;  // the visible nodes it hid, newest first
    };
    void show(const entry& e);
    entry hideNewest();

    scopeNode header_;
    std::vector<pushed> pushes_;  // one per node, oldest first
    std::vector<entry> visible_;  // the nodes not hidden, oldest first
    // The visible nodes of each name, oldest first, with their levels.
    std::unordered_map<std::string, std::vector<std::pair<int, scopeNode*>>> visibleByName_;
};

// Ordered list of distinct types (by non-empty Type::name); owns its nodes.
// Names are looked up through an index of their hashes made as types are
// added (the names of inserted typedefs can be long): a type's name must not
// change while the list is in use.
class typeList {
public:
    struct node {
        node* next;
        Type* type;
    };

    // Walks a list: next() gives each type, then null.
    class cursor {
    public:
        explicit cursor(const node* first) : current_(first) { }
        Type* next();

    private:
        const node* current_;
    };

    typeList() = default;
    ~typeList();
    typeList(const typeList&) = delete;
    typeList& operator=(const typeList&) = delete;

    // Appends `t`: 1, or 0 for null or a name already in the list. Two
    // different types that would both be generated under one inserted typedef
    // name are reported as a counted error.
    int add(Type* t);
    // The first type of that non-empty name; null otherwise.
    Type* find(const std::string& name) const;

    static cursor begin(const typeList* list) { return cursor(list ? list->first_ : nullptr); }

private:
    node* first_ = nullptr;
    node* last_ = nullptr;
    std::unordered_multimap<std::size_t, Type*> byNameHash_;  // the types of non-empty name
};

// The process-wide table of declared types and the two scope lists of the
// parser: every struct/union tag met so far, and the bodies being parsed.
extern typeTable declaredTypes;
extern scopeList tagScopes;
extern scopeList classStack;

#endif
