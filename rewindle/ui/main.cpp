// Rewindle: replays a recorded raw data file to the survey program over TCP, standing in for the sonar.

#include "rewindle/ui/RewindleApp.h"

int main(int argc, char** argv) {
    return rewindle::ui::RunRewindle(argc, argv);
}
