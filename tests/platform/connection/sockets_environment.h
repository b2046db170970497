#pragma once
// Starts the socket library once for a test program (needed on Windows, harmless elsewhere).

#include "platform/connection.h"

#include <gtest/gtest.h>

namespace reef::testing {

class SocketsEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(platform::startSockets()); }
    void TearDown() override { platform::stopSockets(); }
};

// Include from exactly one source file of a test program.
#define REEF_START_SOCKETS_FOR_TESTS                                                               \
    static ::testing::Environment* const reefSocketsEnvironment =                                  \
        ::testing::AddGlobalTestEnvironment(new ::reef::testing::SocketsEnvironment)

} // namespace reef::testing
