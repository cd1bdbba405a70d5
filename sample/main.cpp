#include "app/startup.h"
#include "sample/provider/sampleprovider.h"

#include <QApplication>

// The program over the bundled sample database: the same pages and start-up, its own
// settings, and the sample provider answering for ASE.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    sample::installSampleProvider();
    return app::runProgram(application, app::ProgramKind::Sample);
}
