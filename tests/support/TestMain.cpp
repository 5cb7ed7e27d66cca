// Every test program has an application object whose central error handler
// records errors instead of showing a box, so no test waits on a dialog.
#include <gtest/gtest.h>

#include <cstdio>

#include "TestSupport.h"
#include "framework/Application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    sw::TApplication application;
    application.SetTitle("Startwacht");
    application.OnException = [](sw::TObject*, const std::string& message) {
        std::printf("[central error handler] %s\n", message.c_str());
        sw::test::ReportError(message);
    };
    return RUN_ALL_TESTS();
}
