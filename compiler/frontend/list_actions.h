// The first step of every list rule of the grammar: a new list that holds
// the rule's first element. Further elements are added by each list's own
// action, which says how a refused element is reported.
#ifndef VELORIN_FRONTEND_LIST_ACTIONS_H
#define VELORIN_FRONTEND_LIST_ACTIONS_H

template <class List, class Element>
List* startList(Element* first)
{
    List* list = new List;
    list->add(first);
    return list;
}

#endif
