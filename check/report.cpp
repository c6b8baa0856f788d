// The terminal's lines, the JUnit XML, the grade sheet and the page.
#include "check/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string xml(const std::string &text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters are not XML; a program's bytes may be any.
            if (c < 0x20 && c != '\n' && c != '\t')
                out += ' ';
            else
                out += static_cast<char>(c);
        }
    }
    return out;
}

std::string csv(const std::string &text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Writes the text to path through a temporary name beside it.
bool write_whole(const std::string &path, const std::string &text, std::string *error) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

const char *const UNSANDBOXED = "NOT SANDBOXED (--no-sandbox)";

} // namespace

bool write_junit(const ClassReport &report, const std::string &path, std::string *error) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"qelma-check\">\n";
    for (const LearnerResult &l : report.learners) {
        std::size_t failures = l.checks.size() - l.passed();
        out << "  <testsuite name=\"" << xml(l.learner) << "\" tests=\"" << l.checks.size() << "\" failures=\""
            << failures << "\" errors=\"0\">\n";
        if (report.unsandboxed)
            out << "    <properties><property name=\"sandbox\" value=\"off\"/></properties>\n";
        for (const CheckResult &c : l.checks) {
            out << "    <testcase classname=\"" << xml(l.learner) << "\" name=\"" << xml(c.script) << "\"";
            if (c.verdict == Verdict::PASSED) {
                out << "/>\n";
                continue;
            }
            out << ">\n      <failure type=\"" << verdict_word(c.verdict) << "\" message=\"" << xml(c.reason) << "\">"
                << xml(c.verdict == Verdict::BUILD_FAILED ? l.build_messages : c.log_tail) << "</failure>\n"
                << "    </testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
    return write_whole(path, out.str(), error);
}

bool write_csv(const ClassReport &report, const std::string &path, std::string *error) {
    std::ostringstream out;
    out << "learner,passed,checks";
    for (const Script &s : report.task.scripts)
        out << "," << csv(s.name);
    out << ",reasons" << (report.unsandboxed ? ",sandbox" : "") << "\n";
    for (const LearnerResult &l : report.learners) {
        out << csv(l.learner) << "," << l.passed() << "," << l.checks.size();
        std::string reasons;
        for (const CheckResult &c : l.checks) {
            out << "," << verdict_word(c.verdict);
            if (c.verdict != Verdict::PASSED)
                reasons += (reasons.empty() ? "" : "; ") + c.script + ": " + c.reason;
        }
        out << "," << csv(reasons) << (report.unsandboxed ? ",off" : "") << "\n";
    }
    return write_whole(path, out.str(), error);
}

bool write_report_page(const ClassReport &report, const std::string &dir, std::string *error) {
    std::error_code failed;
    const fs::path pictures = fs::path(dir) / "pictures";
    fs::create_directories(pictures, failed);
    if (failed) {
        *error = "cannot write the report into " + dir + ": " + failed.message();
        return false;
    }
    auto copy = [&](const std::string &from, const std::string &name) -> std::string {
        if (from.empty())
            return "";
        std::error_code ignored;
        fs::copy_file(from, pictures / name, fs::copy_options::overwrite_existing, ignored);
        return ignored ? "" : "pictures/" + name;
    };
    std::size_t passed = 0, checks = 0, whole = 0;
    for (const LearnerResult &l : report.learners) {
        passed += l.passed();
        checks += l.checks.size();
        whole += l.passed() == l.checks.size();
    }
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>qelma-check: "
        << xml(fs::path(report.task.folder).filename().string()) << "</title>\n<style>\n"
        << "body{font:14px sans-serif;margin:16px}table{border-collapse:collapse}"
        << "td,th{border:1px solid #bbb;padding:4px;vertical-align:top}td img{width:150px;display:block}"
        << ".passed{background:#e6f6e6}.failed{background:#fbe4e4}.why{max-width:150px;font-size:12px}"
        << "pre{max-width:600px;max-height:200px;overflow:auto;font-size:11px;white-space:pre-wrap}"
        << ".full{display:none;position:fixed;inset:0;background:#fff;overflow:auto;padding:16px}"
        << ".full:target{display:block}.full img{margin-right:12px;border:1px solid #888}"
        << ".warn{color:#a00;font-weight:bold}\n</style></head><body>\n";
    out << "<h1>" << xml(report.task.folder) << "</h1>\n<p>" << whole << " of " << report.learners.size()
        << " learners passed every script; " << passed << " of " << checks << " checks passed.</p>\n";
    if (report.unsandboxed)
        out << "<p class=\"warn\">" << UNSANDBOXED << "</p>\n";
    out << "<table><tr><th>Learner</th>";
    for (const Script &s : report.task.scripts)
        out << "<th>" << xml(s.name) << "</th>";
    out << "</tr>\n";
    for (std::size_t k = 0; k < report.task.scripts.size(); ++k)
        copy(report.task.scripts[k].picture_path, "ref-" + std::to_string(k) + ".png");
    std::ostringstream overlays;
    for (std::size_t i = 0; i < report.learners.size(); ++i) {
        const LearnerResult &l = report.learners[i];
        out << "<tr><th>" << xml(l.learner) << "<br>" << l.passed() << "/" << l.checks.size() << "</th>";
        for (std::size_t k = 0; k < l.checks.size(); ++k) {
            const CheckResult &c = l.checks[k];
            const std::string id = "c" + std::to_string(i) + "-" + std::to_string(k);
            const std::string last = copy(c.picture, id + "-last.png");
            const std::string diff = copy(c.difference, id + "-diff.png");
            const std::string ref = "ref-" + std::to_string(k) + ".png";
            out << "<td class=\"" << (c.verdict == Verdict::PASSED ? "passed" : "failed") << "\">";
            if (!last.empty())
                out << "<a href=\"#" << id << "\"><img src=\"" << last << "\" alt=\"the last picture\"></a>";
            out << "<div class=\"why\">" << xml(c.reason) << "</div></td>";
            overlays << "<section class=\"full\" id=\"" << id << "\"><p><a href=\"#\">Close</a> " << xml(l.learner)
                     << ", " << xml(c.script) << ": " << xml(c.reason) << "</p>";
            if (!last.empty())
                overlays << "<img src=\"" << last << "\" alt=\"the last picture\">";
            overlays << "<img src=\"pictures/" << ref << "\" alt=\"the reference\">";
            if (!diff.empty())
                overlays << "<img src=\"" << diff << "\" alt=\"the difference\">";
            if (!c.log_tail.empty())
                overlays << "<h3>The log's last lines</h3><pre>" << xml(c.log_tail) << "</pre>";
            if (!l.build_messages.empty())
                overlays << "<h3>The build</h3><pre>" << xml(l.build_messages) << "</pre>";
            overlays << "</section>\n";
        }
        out << "</tr>\n";
    }
    out << "</table>\n" << overlays.str() << "</body></html>\n";
    return write_whole((fs::path(dir) / "index.html").string(), out.str(), error);
}

ClassTerminal::ClassTerminal(std::size_t learners, std::size_t scripts, bool unsandboxed)
    : learners_(learners), scripts_(scripts), unsandboxed_(unsandboxed), tty_(isatty(2) != 0) {
    std::lock_guard<std::mutex> hold(lock_);
    bar();
}

void ClassTerminal::bar() {
    if (!tty_)
        return;
    const int width = 30;
    const int filled = learners_ == 0 ? width : static_cast<int>(width * done_ / learners_);
    std::fprintf(stderr, "\r[%s%s] %zu/%zu learners\033[K", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), done_, learners_);
    std::fflush(stderr);
}

void ClassTerminal::done(const LearnerResult &result) {
    std::lock_guard<std::mutex> hold(lock_);
    ++done_;
    checks_passed_ += result.passed();
    std::string line = result.learner + ": " + std::to_string(result.passed()) + "/" +
                       std::to_string(result.checks.size()) + " passed";
    for (const CheckResult &c : result.checks)
        if (c.verdict != Verdict::PASSED)
            line += "; " + c.script + ": " + c.reason;
    if (tty_)
        std::fputs("\r\033[K", stderr);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    bar();
}

void ClassTerminal::finish() {
    std::lock_guard<std::mutex> hold(lock_);
    if (tty_)
        std::fputs("\r\033[K", stderr);
    std::printf("%zu of %zu checks passed%s\n", checks_passed_, learners_ * scripts_,
                unsandboxed_ ? std::string(" (").append(UNSANDBOXED).append(")").c_str() : "");
}
