#include "commands/cancel_command.h"

namespace morvale {

bool stopConfirmed(const EngineState& engine, Form& form) {
    return !engine.confirmCancel || form.askYesNo(kConfirmTitle, kStopQuestion);
}

void bCancelClick(Session& session, Form& form) {
    if (stopConfirmed(session.engine, form)) session.engine.requestStopByUser();
}

}  // namespace morvale
