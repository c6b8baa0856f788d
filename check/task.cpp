// The task folder, its settings, and the submissions of a class.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <unistd.h>

#include "check/check.h"
#include "qelma/qelma.h"
#include "replay/pictures.h"
#include "replay/replay_command.h"

namespace fs = std::filesystem;

namespace {

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool is_source(const fs::path &path) {
    const std::string suffix = path.extension().string();
    return suffix == ".c" || suffix == ".cc" || suffix == ".cpp" || suffix == ".cxx";
}

} // namespace

bool set_limit(const std::string &name, const std::string &value, Limits *limits, std::string *error) {
    struct Known {
        const char *name;
        double low, high;
    };
    static const Known known[] = {{"time", 0.1, 3600}, {"memory", 16, 65536}, {"processes", 4, 4096},
                                  {"written", 1, 65536}, {"tolerance", 0, 100}};
    for (const Known &k : known) {
        if (name != k.name)
            continue;
        double n = 0;
        if (!number_of(value, k.low, k.high, &n)) {
            char range[64];
            std::snprintf(range, sizeof range, "from %g to %g", k.low, k.high);
            *error = name + " must be a number " + range + ", not \"" + value + "\"";
            return false;
        }
        if (name == "time")
            limits->seconds = n;
        else if (name == "memory")
            limits->memory_mb = std::lround(n);
        else if (name == "processes")
            limits->processes = std::lround(n);
        else if (name == "written")
            limits->written_mb = std::lround(n);
        else
            limits->tolerance = n;
        return true;
    }
    *error = "no setting \"" + name + "\" (time, memory, processes, written, tolerance)";
    return false;
}

bool load_task(const std::string &folder, bool making, Task *task, std::string *error) {
    std::error_code failed;
    if (!fs::is_directory(folder, failed)) {
        *error = "the task " + folder + " is not a folder";
        return false;
    }
    task->folder = folder;
    task->scripts.clear();
    for (fs::directory_iterator it(folder, failed), end; !failed && it != end; it.increment(failed)) {
        const fs::path path = it->path();
        std::string suffix = path.extension().string();
        std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::tolower(c); });
        if (suffix != ".scr" || !it->is_regular_file(failed))
            continue;
        Script s{path.stem().string(), path.string(), (path.parent_path() / (path.stem().string() + ".png")).string()};
        task->scripts.push_back(s);
    }
    if (failed) {
        *error = "cannot read the task " + folder + ": " + failed.message();
        return false;
    }
    if (task->scripts.empty()) {
        *error = "the task " + folder + " holds no script (NAME.SCR)";
        return false;
    }
    std::sort(task->scripts.begin(), task->scripts.end(),
              [](const Script &a, const Script &b) { return a.name < b.name; });
    for (const Script &s : task->scripts) {
        if (access(s.script_path.c_str(), R_OK) != 0) {
            *error = "cannot read the script " + s.script_path;
            return false;
        }
        if (making)
            continue;
        Picture picture;
        std::string why;
        if (!read_png(s.picture_path, &picture, &why)) {
            *error = "the script " + s.script_path + " has no picture to end on: " + why +
                     " (make them with qelma-check --make " + folder + " -- PROGRAM)";
            return false;
        }
        if (picture.width != QELMA_CANVAS_WIDTH || picture.height != QELMA_CANVAS_HEIGHT) {
            *error = s.picture_path + " is " + std::to_string(picture.width) + " x " +
                     std::to_string(picture.height) + " pixels, not the drawing area's " +
                     std::to_string(QELMA_CANVAS_WIDTH) + " x " + std::to_string(QELMA_CANVAS_HEIGHT);
            return false;
        }
    }
    const fs::path settings = fs::path(folder) / "check.conf";
    if (!fs::exists(settings, failed))
        return true;
    std::ifstream in(settings);
    if (!in) {
        *error = "cannot read " + settings.string();
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const auto equals = line.find('=');
        std::string why;
        if (equals == std::string::npos) {
            why = "not \"name = value\"";
        } else if (set_limit(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), &task->limits, &why)) {
            continue;
        }
        *error = settings.string() + ":" + std::to_string(number) + ": " + why;
        return false;
    }
    return true;
}

bool find_submissions(const std::vector<std::string> &paths, std::vector<Submission> *submissions,
                      std::string *error) {
    std::map<std::string, std::string> seen; // learner -> path
    for (const std::string &given : paths) {
        fs::path path(given);
        while (path.has_filename() == false && path.has_parent_path() && path != path.root_path())
            path = path.parent_path(); // "alice/" is alice
        Submission s;
        s.path = given;
        std::error_code failed;
        if (fs::is_directory(path, failed)) {
            s.learner = path.filename().string();
            for (fs::recursive_directory_iterator it(path, failed), end; !failed && it != end; it.increment(failed)) {
                if (it->is_regular_file(failed) && is_source(it->path()))
                    s.sources.push_back(it->path().string());
            }
            std::sort(s.sources.begin(), s.sources.end());
            if (failed)
                s.problem = "cannot read " + given + ": " + failed.message();
            else if (s.sources.empty())
                s.problem = given + " holds no C or C++ source";
        } else if (fs::is_regular_file(path, failed)) {
            s.learner = path.stem().string();
            if (is_source(path))
                s.sources.push_back(path.string());
            else
                s.program = true;
            if (access(path.c_str(), R_OK) != 0)
                s.problem = "cannot read " + given;
        } else {
            s.learner = path.filename().string();
            s.problem = "no such file or folder: " + given;
        }
        if (s.learner.empty())
            s.learner = given;
        const auto [at, fresh] = seen.emplace(s.learner, given);
        if (!fresh) {
            *error = "two submissions are of one learner, \"" + s.learner + "\": " + at->second + " and " + given +
                     " (give each learner one)";
            return false;
        }
        submissions->push_back(s);
    }
    std::sort(submissions->begin(), submissions->end(),
              [](const Submission &a, const Submission &b) { return a.learner < b.learner; });
    return true;
}
