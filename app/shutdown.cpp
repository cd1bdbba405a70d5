#include "app/shutdown.h"

#include "app/platform.h"
#include "db/connect/handler.h"

namespace app {

void endProgram() {
    if (db::Handler::halted())
        return;
    db::Handler::haltAll();
    platform().endProgram();
}

bool programEnded() {
    return db::Handler::halted();
}

void resetProgramEnd() {
    db::Handler::resumeAll();
}

} // namespace app
