#include "Modul.h"

#include "Kern.h"

namespace Modul {

void ReadReal(const std::string& prompt, std::string& text, double& value)
{
    PromptLoop::ReadReal(Binding(), prompt, text, value);
}

void ReadInteger(const std::string& prompt, std::string& text, std::int32_t& value)
{
    PromptLoop::ReadInteger(Binding(), prompt, text, value);
}

const PromptLoop::Binding& Binding()
{
    return Kern::Binding();
}

void Install()
{
    PromptLoop::Install(Binding());
}

} // namespace Modul
