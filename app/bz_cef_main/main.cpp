#include "app/application.h"
#include "app/client_neighbours.h"

int main(int argc, char** argv) {
    // Lives to the end of the process: threads that outlive the bounded end may still reach it.
    static ClientNeighbours neighbours;
    ClientOptions options;
    options.neighbours = &neighbours;
    return finishProcess(runMain(argc, argv, options));
}
