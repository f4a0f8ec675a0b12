#include "app/application.h"

int main(int argc, char** argv) { return finishProcess(runMain(argc, argv)); }
