#include "KernDos.h"
#include "PromptLoop.h"
#include "Quenmark.h"

int main()
{
    PromptLoop::Install(KernDos::Binding());
    Quenmark::Run();
}
