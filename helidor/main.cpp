#include "Setup.h"

int main(int argc, char** argv)
{
    Setup::RunHelidor(argc, argv);
}
