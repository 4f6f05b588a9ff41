// Whether start-up finds a configuration to load, must generate one, or must
// stop. A directory and an unreadable file are end-to-end cases
// (configuration-*-refused-and-kept); a FIFO needs a node the board file
// cannot describe.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/startup.h"
#include "support/sandbox.h"

namespace {

// Opening a FIFO for reading waits for a writer: start-up must not open it.
TEST(ConfigPresence, FifoIsRefusedWithoutBeingOpened) {
    Sandbox sandbox;
    ASSERT_EQ(mkfifo(sandbox.path("/etc/Senvis.ini").c_str(), 0600), 0);
    OutputCapture output;
    EXPECT_EQ(existFile("/etc/Senvis.ini"), -2);
    EXPECT_EQ(output.err(), "Error: /etc/Senvis.ini is not a regular file.\n");
    EXPECT_EQ(existFile("/etc/Missing.ini"), -1);
}

}  // namespace
