// What the parse of one interface file leaves in the model: the declared
// types and enumerations, the tag scopes, and the program with its name.
#ifndef VELORIN_MODEL_MODEL_STATE_H
#define VELORIN_MODEL_MODEL_STATE_H

// Empties the table of declared types, the enumerations and both scope
// lists and forgets the program, as at the start of a run. The model objects themselves are never
// freed: whatever still points at them stays valid.
void resetModelState();

#endif
