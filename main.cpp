#include "pages/program.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return pages::runProgram(application, app::ProgramKind::Quorvane);
}
