#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace tickcheck::testing {
namespace {

std::string WithoutLinesStartingWith(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line;
  std::string kept;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0)
      kept += line + '\n';
  }
  return kept;
}

}  // namespace

BinaryRun::BinaryRun(const std::vector<std::string>& arguments, const std::string& workingDirectory,
                     uint64_t addressSpaceBytes, unsigned timeoutSeconds)
    : capture_(std::make_unique<TempDir>()) {
  const std::string outPath = capture_->File("stdout");
  const std::string errPath = capture_->File("stderr");
  std::vector<std::string> copies = arguments;
  std::string binary = TICKCHECK_BINARY;
  child_ = fork();
  if (child_ != 0)
    return;
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
    _exit(127);
  const rlimit limit{addressSpaceBytes, addressSpaceBytes};
  if (addressSpaceBytes != 0 && setrlimit(RLIMIT_AS, &limit) != 0)
    _exit(127);
  // The timer survives the exec; its signal ends the binary.
  if (timeoutSeconds != 0)
    alarm(timeoutSeconds);
  std::vector<char*> argv;
  argv.push_back(binary.data());
  for (std::string& argument : copies)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  execv(binary.c_str(), argv.data());
  _exit(127);
}

BinaryRun::~BinaryRun() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
  }
}

bool BinaryRun::AwaitError(const std::string& text, unsigned timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadFile(capture_->File("stderr")).find(text) != std::string::npos)
      return true;
    // Looks at the end of the run without collecting it, which Wait() does.
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid != 0) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void BinaryRun::Signal(int signal) {
  kill(child_, signal);
}

ProcessResult BinaryRun::Wait() {
  int status = 0;
  waitpid(child_, &status, 0);
  child_ = -1;
  ProcessResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFile(capture_->File("stdout"));
  result.err = ReadFile(capture_->File("stderr"));
  return result;
}

ProcessResult RunTickcheckBinary(const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory, uint64_t addressSpaceBytes,
                                 unsigned timeoutSeconds) {
  return BinaryRun(arguments, workingDirectory, addressSpaceBytes, timeoutSeconds).Wait();
}

std::string WithoutTimeLine(const std::string& output) {
  return WithoutLinesStartingWith(output, "execute time:");
}

std::string WithoutSummaryLine(const std::string& err) {
  return WithoutLinesStartingWith(err, "summary: ");
}

}  // namespace tickcheck::testing
