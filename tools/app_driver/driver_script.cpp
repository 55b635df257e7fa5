// tarvex_driver.exe's scripts: the driver's steps, one a line, for trying a road by hand.
#include <cstdlib>
#include <sstream>

#include "tools/app_driver/app_driver.h"

namespace {

std::wstring Wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
    return out;
}

WORD KeyOf(const std::string& name)
{
    if (name == "escape") return VK_ESCAPE;
    if (name == "space") return VK_SPACE;
    if (name == "numpad0") return VK_NUMPAD0;
    if (name == "enter") return VK_RETURN;
    if (name == "decimal") return VK_DECIMAL;
    if (name == "add") return VK_ADD;
    if (name.size() == 1) return static_cast<WORD>(VkKeyScanA(name[0]) & 0xFF);
    return static_cast<WORD>(std::strtol(name.c_str(), nullptr, 0));
}

// One step; false when it did not do what it asked.
bool Step(AppDriver& driver, std::istringstream& in, const std::string& verb, std::string& note)
{
    std::string a, b;
    if (verb == "start") {
        in >> a >> b;
        std::vector<std::pair<std::wstring, std::wstring>> environment;
        for (std::string pair; in >> pair;) {
            const size_t equals = pair.find('=');
            if (equals != std::string::npos)
                environment.push_back({Wide(pair.substr(0, equals)), Wide(pair.substr(equals + 1))});
        }
        return driver.Start(Wide(a), b == "." ? L"" : Wide(b), environment);
    }
    if (verb == "menu" && in >> a) return driver.PostMenu(std::atoi(a.c_str())), true;
    if (verb == "dialog" && in >> a) return driver.PostMenuForDialog(std::atoi(a.c_str())) != nullptr;
    if (verb == "file" && std::getline(in >> std::ws, a)) return driver.AnswerFileDialog(Wide(a));
    if (verb == "box" && in >> a >> b) return driver.AnswerBox(Wide(a), b == "yes" ? IDYES : IDOK);
    if (verb == "render" && in >> a >> b) return driver.Render(Wide(a), Wide(b));
    if (verb == "key" && in >> a) {
        int hold = 150;
        in >> hold;
        return driver.PressKey(KeyOf(a), hold), true;
    }
    if (verb == "click" && in >> a >> b) return driver.Click(std::atoi(a.c_str()), std::atoi(b.c_str())), true;
    if (verb == "wheel" && in >> a) return driver.Wheel(std::atoi(a.c_str())), true;
    if (verb == "capture" && in >> a) return !driver.CaptureTo(a).Empty();
    if (verb == "sleep" && in >> a) return Sleep(static_cast<DWORD>(std::atoi(a.c_str()))), true;
    if (verb == "windows") return note = "\n" + driver.DescribeWindows(), true;
    if (verb == "close") return driver.PostToMain(WM_CLOSE), true;
    if (verb == "exit" && in >> a >> b) {
        const DWORD code = driver.WaitForExit(std::atoi(a.c_str()));
        note = " (exit code " + std::to_string(code) + ")";
        return code == static_cast<DWORD>(std::strtoul(b.c_str(), nullptr, 0));
    }
    note = " (not a step)";
    return false;
}

}  // namespace

int RunDriverScript(const std::vector<std::string>& lines, std::string& log)
{
    AppDriver driver;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        std::string verb, note;
        if (!(in >> verb) || verb[0] == '#') continue;
        const bool done = Step(driver, in, verb, note);
        log += (done ? "ok     " : "FAILED ") + lines[i] + note + "\n";
        if (!done) return static_cast<int>(i) + 1;
    }
    return 0;
}
