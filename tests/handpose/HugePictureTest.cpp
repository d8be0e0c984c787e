// A picture whose header claims 40000 x 40000 pixels (a 534-byte progressive
// JPEG, a 69-byte PNG) is refused by the hand-pose tool from its header: one
// line with the reason, and the tool never takes more than 100 MB. Checked
// only after libjpeg had set memory aside for the whole picture, the JPEG
// took 4.6 GB and 25 s before it was refused.
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

namespace vantor::testing {
namespace {

TEST(HugePicture, IsRefusedFromItsHeaderInOneLineWithoutTakingTheMemory) {
    for (const std::string name : {"huge-progressive.jpg", "huge.png"}) {
        const std::string path = std::string(VANTOR_TEST_DATA_DIR) + "/" + name;
        ChildProcess tool({"/bin/sh", "-c", std::string(VANTOR_HANDPOSE_TOOL) + " '" + path + "' 2>&1"},
                          ChildProcess::Output::Pipe);
        EXPECT_EQ(tool.readLine(std::chrono::minutes(1)),
                  "vantor2-handpose: cannot read image " + path + ": larger than 50 megapixels (40000 x 40000)");
        EXPECT_EQ(tool.readLine(std::chrono::minutes(1)), std::nullopt) << "one line only";
        const auto status = tool.wait(std::chrono::minutes(1));
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);
        EXPECT_LT(children.ru_maxrss, 100 * 1024) << name << ": most kilobytes the tool held";
    }
}

} // namespace
} // namespace vantor::testing
