// How many exchanges a read or a write will make for the instrument on the
// line. Each chain answers for itself by walking its own steps without
// touching the instrument (workflows/ReadWorkflow.cpp, WriteWorkflow.cpp), so
// the count follows every skip rule the chain runs by: the pages of the
// fitted boards, the firmware level, and the groups and fields the read found
// (a SEN55 or a pump that reported itself not fitted) or the operator changed.
#pragma once

class KVX_Configurator;

namespace kvx {

// The read's exchanges, as far as the form knows the instrument now. A read
// learns on the way whether the SEN55 and each pump are fitted; asked again
// after such a record, the answer is the read's final length.
int plannedReadExchanges(const KVX_Configurator& w);

// The write's exchanges from `issuingState` on (a pump stop, or a state of the
// record chain), asked when its first exchange starts.
int plannedWriteExchanges(const KVX_Configurator& w, int issuingState);

} // namespace kvx
