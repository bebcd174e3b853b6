#pragma once

#include "control/Erase.h"
#include "control/Session.h"
#include "control/Verify.h"
#include "vtc880/Outcome.h"

namespace vtc880 {

// A failure as the run ends it: a run asked to stop ends as cancelled, one whose port has gone as
// portLost, whatever step noticed it first.
inline Outcome failureOf(const Session& session, Outcome failure) {
    if (failure == Outcome::succeeded) {
        return failure;
    }
    if (session.cancelled()) {
        return Outcome::interrupted;
    }
    return session.link.lost() ? Outcome::portLost : failure;
}

inline Outcome outcomeOf(EraseResult result) {
    switch (result) {
    case EraseResult::erased:
        return Outcome::succeeded;
    case EraseResult::eraseFailed:
        return Outcome::eraseFailed;
    default:
        return Outcome::noAnswer;
    }
}

inline Outcome outcomeOf(VerifyResult result) {
    switch (result) {
    case VerifyResult::passed:
        return Outcome::succeeded;
    case VerifyResult::differs:
        return Outcome::verifyFailed;
    default:
        return Outcome::noAnswer;
    }
}

} // namespace vtc880
