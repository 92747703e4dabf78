#include "support/process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/temp_dir.h"

namespace tickcheck::testing {

ProcessResult RunTickcheckBinary(const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory, uint64_t addressSpaceBytes,
                                 unsigned timeoutSeconds) {
  TempDir capture;
  const std::string outPath = capture.File("stdout");
  const std::string errPath = capture.File("stderr");
  ProcessResult result;
  const pid_t child = fork();
  if (child == 0) {
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
    std::string binary = TICKCHECK_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

std::string WithoutTimeLine(const std::string& output) {
  std::istringstream in(output);
  std::string line;
  std::string kept;
  while (std::getline(in, line)) {
    if (line.rfind("execute time:", 0) == 0)
      continue;
    kept += line + '\n';
  }
  return kept;
}

}  // namespace tickcheck::testing
