#pragma once

#include <cstdint>
#include <string>

namespace solvard::serial {

// The values a command applies to the port before opening it: the library-wide settings for
// most commands, an object's own port properties for some attendance commands.
struct PortSetup {
  int16_t portNumber = 0;
  std::string settingsText = "9600,N,8,1";
  // Held wider than the port takes them; applying one that does not fit 16 bits raises
  // 6 "Overflow".
  int32_t inBufferSize = 1024;
  int32_t outBufferSize = 512;
};

// A buffer size as the port takes it, 16 bits; one that does not fit raises 6 "Overflow".
int16_t bufferSize(int32_t size);

class Link;

// Applies an object's own port setup for a command that runs under the skip-on-failure rule
// from its first step: each setting is a step skipped on failure, except the settings text. A
// rate the port refuses is raised to the host as the port raised it, since skipping it would
// leave the port at the rate of the command before, and the command would reach the terminal
// at a speed the host did not ask for.
void applyObjectPort(Link& link, const PortSetup& setup);

}  // namespace solvard::serial
