// The widget tests need a QApplication. Listing the tests does not, so discovery works without a
// display. Without QT_QPA_PLATFORM the tests pick the offscreen platform themselves;
// --scale-factor=F runs them at device pixel ratio F.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    const char scaleOption[] = "--scale-factor=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], scaleOption, sizeof scaleOption - 1) == 0)
            qputenv("QT_SCALE_FACTOR", argv[i] + sizeof scaleOption - 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
