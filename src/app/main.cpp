// Vexora: the window program. No arguments; the program folder is the executable's.
#include "app/program.h"

int main(int argc, char** argv) {
    return vexora::app::runWindowProgram(argc, argv);
}
