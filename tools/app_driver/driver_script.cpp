// tarvex_driver.exe's scripts: the driver's steps, one a line, for trying a road by hand.
#include <cstdlib>

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

// One step; false when it did not do what it asked. `rest` is the line after the verb, as written.
bool Step(AppDriver& driver, const std::vector<std::string>& words, const std::string& rest, std::string& note)
{
    const std::string& verb = words[0];
    const size_t count = words.size();
    auto arg = [&](size_t i) { return i < count ? words[i] : std::string(); };
    auto number = [&](size_t i) { return std::atoi(arg(i).c_str()); };
    if (verb == "start" && count >= 3) {
        std::vector<std::pair<std::wstring, std::wstring>> environment;
        for (size_t i = 3; i < count; ++i) {
            const size_t equals = words[i].find('=');
            if (equals != std::string::npos)
                environment.push_back({Wide(words[i].substr(0, equals)), Wide(words[i].substr(equals + 1))});
        }
        return driver.Start(Wide(words[1]), words[2] == "." ? L"" : Wide(words[2]), environment);
    }
    if (verb == "menu" && count >= 2) return driver.PostMenu(number(1)), true;
    if (verb == "dialog" && count >= 2) return driver.PostMenuForDialog(number(1)) != nullptr;
    // The file name is the rest of the line, spaces and all, unless it is quoted.
    if (verb == "file" && count >= 2)
        return driver.AnswerFileDialog(Wide(rest.find('"') == std::string::npos ? rest : words[1]));
    if (verb == "box" && count >= 3) return driver.AnswerBox(Wide(words[1]), words[2] == "yes" ? IDYES : IDOK);
    if (verb == "render" && count >= 3) return driver.Render(Wide(words[1]), Wide(words[2]));
    if (verb == "key" && count >= 2) return driver.PressKey(KeyOf(words[1]), count >= 3 ? number(2) : 150), true;
    if (verb == "click" && count >= 3) return driver.Click(number(1), number(2)), true;
    if (verb == "wheel" && count >= 2) return driver.Wheel(number(1)), true;
    if (verb == "capture" && count >= 2) return !driver.CaptureTo(words[1]).Empty();
    if (verb == "sleep" && count >= 2) return Sleep(static_cast<DWORD>(number(1))), true;
    if (verb == "windows") return note = "\n" + driver.DescribeWindows(), true;
    if (verb == "close") return driver.PostToMain(WM_CLOSE), true;
    if (verb == "exit" && count >= 3) {
        const DWORD code = driver.WaitForExit(number(1));
        note = " (exit code " + std::to_string(code) + ")";
        return code == static_cast<DWORD>(std::strtoul(words[2].c_str(), nullptr, 0));
    }
    note = " (not a step, or too few values)";
    return false;
}

}  // namespace

std::vector<std::string> SplitScriptWords(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

int RunDriverScript(const std::vector<std::string>& lines, std::string& log)
{
    AppDriver driver;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> words = SplitScriptWords(lines[i]);
        if (words.empty() || words[0][0] == '#') continue;
        std::string rest = lines[i].substr(lines[i].find_first_not_of(" \t") + words[0].size());
        rest.erase(0, rest.find_first_not_of(" \t"));
        std::string note;
        const bool done = Step(driver, words, rest, note);
        log += (done ? "ok     " : "FAILED ") + lines[i] + note + "\n";
        if (!done) return static_cast<int>(i) + 1;
    }
    return 0;
}
