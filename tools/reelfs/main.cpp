// reelfs: the command-line host.
#include "Command.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    try
    {
        return reelfs::Main(std::vector<std::string>(argv + 1, argv + argc));
    }
    catch (...)
    {
        return reelfs::ExceptionFailure();
    }
}
