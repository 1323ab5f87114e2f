#pragma once
// A private system bus with the stand-in logind on it (logind-mock.sh), for one test: started in a
// fresh temporary folder, named to the process by DBUS_SYSTEM_BUS_ADDRESS while it lives (programs the
// test starts inherit it), stopped and removed at the end. The test's target defines KALDO_LOGIND_MOCK
// as the script's path.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kaldo::test {

struct Inhibitor {
    std::string what, who, why, mode;
};

class LogindMock {
public:
    enum class On { logind, busOnly };

    explicit LogindMock(On on = On::logind) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kaldo-logind-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder for the stand-in logind");
        folder_ = pattern;
        const Run started =
            run("start " + quoted(folder_.string()) + (on == On::busOnly ? " --no-logind" : ""));
        if (started.status != 0) {
            std::filesystem::remove_all(folder_);
            throw std::runtime_error("the stand-in logind did not start: " + started.output);
        }
        std::string address;
        std::getline(std::ifstream(folder_ / "address"), address);
        if (const char* before = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) addressBefore_ = before;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }

    ~LogindMock() {
        if (addressBefore_)
            setenv("DBUS_SYSTEM_BUS_ADDRESS", addressBefore_->c_str(), 1);
        else
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        run("stop " + quoted(folder_.string()));
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    LogindMock(const LogindMock&) = delete;
    LogindMock& operator=(const LogindMock&) = delete;

    // The inhibitors logind holds now; a holder that closed its descriptor or died is already gone.
    std::vector<Inhibitor> inhibitors() const {
        const Run listed = run("inhibitors " + quoted(folder_.string()));
        if (listed.status != 0) throw std::runtime_error("cannot list the inhibitors: " + listed.output);
        std::vector<Inhibitor> found;
        std::istringstream lines(listed.output);
        for (std::string line; std::getline(lines, line);) {
            Inhibitor inhibitor;
            std::istringstream fields(line);
            std::getline(fields, inhibitor.what, '\t');
            std::getline(fields, inhibitor.who, '\t');
            std::getline(fields, inhibitor.why, '\t');
            std::getline(fields, inhibitor.mode, '\t');
            found.push_back(inhibitor);
        }
        return found;
    }

private:
    struct Run {
        int status;
        std::string output;  // standard output, and standard error after it
    };

    static std::string quoted(const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

    static Run run(const std::string& arguments) {
        const std::string command = quoted(KALDO_LOGIND_MOCK) + " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return {-1, "cannot run " + command};
        std::string output;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        const int status = pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
    }

    std::filesystem::path folder_;
    std::optional<std::string> addressBefore_;
};

}  // namespace kaldo::test
