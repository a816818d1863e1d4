// Camera passwords, never taken from the command line: each comes from a systemd credential
// (LoadCredential=, in $CREDENTIALS_DIRECTORY) when the service gives one, else from the next line
// of a descriptor the caller opened (--password-fd), else from an environment variable, else from
// a prompt without echo on the terminal.
#pragma once

#include <optional>
#include <string>

namespace cli {

class SecretSource {
  public:
    explicit SecretSource(int fd) : fd_(fd) {}

    // The secret, or nothing when no source has one (no credential, no descriptor, no variable,
    // no terminal) or the credential cannot be read safely (error() says why). variable and
    // credential may be null: that source is not asked.
    std::optional<std::string> get(const char* prompt, const char* variable,
                                   const char* credential = nullptr);
    const std::string& error() const { return error_; }

  private:
    int fd_;  // -1: none
    std::string error_;
};

// The first line of a file (a secret given as FIELD=@FILE); nothing, with the error text set,
// when it cannot be read.
std::optional<std::string> readSecretFile(const std::string& path, std::string& error);

// Makes the process undumpable before a secret is read into its memory.
void keepSecretsOutOfDumps();
// Clears a secret's characters before its storage is given back.
void wipe(std::string& secret);

// Reads one line from the terminal with echo off; nothing when there is no terminal.
std::optional<std::string> promptHidden(const char* prompt);

}  // namespace cli
