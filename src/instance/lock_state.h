#pragma once

namespace kalvane {

// Who has the machine's single-instance lock, as a start that made or opened it sees it.
enum class LockState {
  kAcquired,       // this start holds the lock
  kHeldByKalvane,  // an elevated copy of the program holds it
  kHeldByOther,    // something that is not the program made it first
};

}  // namespace kalvane
