// The error reporter: captions and code texts, the error mode, and the order of box and throw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "error/error_reporter.h"
#include "error/tql_exception.h"

namespace zrk {
namespace {

std::vector<ErrorText> shown;
void recordError(const ErrorText& error) { shown.push_back(error); }

class ErrorReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        shown.clear();
        previous_ = setErrorBoxShower(&recordError);
    }
    void TearDown() override {
        setLibraryErrorMode(0);
        setErrorBoxShower(previous_);
    }
    ErrorBoxShower previous_ = nullptr;
};

TEST(ErrorNames, LibraryCodesAndTheirFallback) {
    EXPECT_EQ(codeName(0, 0), "UnknownError");
    EXPECT_EQ(codeName(0, 1), "TQLERR_HWND");
    EXPECT_EQ(codeName(0, 2), "TQLERR_FILE");
    EXPECT_EQ(codeName(0, 3), "TQLERR_NOMEMORY");
    EXPECT_EQ(codeName(0, 4), "TQLERR_UNKNOWN_EXCEPTION");
    EXPECT_EQ(codeName(0, 5), "UnknownError");
    EXPECT_EQ(codeName(0, -1), "UnknownError");
}

TEST(ErrorNames, ForeignCodesAreNumbers) {
    EXPECT_EQ(codeName(7, 255), "       255(0x000000ff)");
    EXPECT_EQ(codeName(7, -1), "        -1(0xffffffff)");
    EXPECT_EQ(codeName(1, 5), "         5(0x00000005)");
    EXPECT_EQ(codeName(1, INT32_MIN), "-2147483648(0x80000000)");
}

TEST(ErrorNames, Captions) {
    EXPECT_EQ(kindName(0), "DOZuzarir  ");
    EXPECT_EQ(kindName(0).size(), 11u);
    EXPECT_EQ(kindName(7), "UnknownType");
    EXPECT_EQ(kindName(-1), "UnknownType");
}

TEST(ErrorNames, ComposedText) {
    ErrorText e = composeErrorText(0, 3, "x");
    EXPECT_EQ(e.caption, "DOZuzarir  ");
    EXPECT_EQ(e.text, "TQLERR_NOMEMORY\nx");
    e = composeErrorText(0, TQLERR_UNKNOWN_EXCEPTION, "");
    EXPECT_EQ(e.text, "TQLERR_UNKNOWN_EXCEPTION\n");
    e = composeErrorText(7, 255, "disk");
    EXPECT_EQ(e.caption, "UnknownType");
    EXPECT_EQ(e.text, "       255(0x000000ff)\ndisk");
}

TEST_F(ErrorReporterTest, ModeZeroShowsAndThrowsNothing) {
    EXPECT_EQ(libraryErrorMode(), 0u);
    EXPECT_EQ(reportLibraryError(0, 3, "x"), 0);
    setLibraryErrorMode(0x1 | 0x8);  // bits without meaning behave as 0
    EXPECT_EQ(reportLibraryError(0, 3, "x"), 0);
    EXPECT_TRUE(shown.empty());
}

TEST_F(ErrorReporterTest, BoxOnlyShowsTheComposedTextAndReturns) {
    setLibraryErrorMode(ErrorModeMessageBox);
    EXPECT_EQ(reportLibraryError(0, 3, "x"), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "DOZuzarir  ");
    EXPECT_EQ(shown[0].text, "TQLERR_NOMEMORY\nx");
}

TEST_F(ErrorReporterTest, ThrowOnlyCarriesKindCodeAndMessage) {
    setLibraryErrorMode(ErrorModeThrow);
    try {
        reportLibraryError(7, -1, "why");
        FAIL() << "no exception";
    } catch (const TqlException& e) {
        EXPECT_EQ(e.kind(), 7);
        EXPECT_EQ(e.code(), -1);
        EXPECT_EQ(e.message(), "why");
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(ErrorReporterTest, BothBitsShowTheBoxBeforeThrowing) {
    setLibraryErrorMode(ErrorModeMessageBox | ErrorModeThrow);
    try {
        reportLibraryError(7, 255, "m");
        FAIL() << "no exception";
    } catch (const TqlException& e) {
        // The box was shown (and closed) before the exception left the reporter.
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, "UnknownType");
        EXPECT_EQ(shown[0].text, "       255(0x000000ff)\nm");
        EXPECT_EQ(e.kind(), 7);
        EXPECT_EQ(e.code(), 255);
        EXPECT_EQ(e.message(), "m");
    }
}

TEST(TqlExceptions, DerivedErrorsAreEmptyLibraryErrors) {
    try {
        throw TqlZRKAFileReadError();
    } catch (const TqlException& e) {
        EXPECT_EQ(e.kind(), 0);
        EXPECT_EQ(e.code(), 0);
        EXPECT_EQ(e.message(), "");
    }
    bool caughtAsBase = false;
    try {
        throw TqlZRKAFileWriteError();
    } catch (const TqlException&) {
        caughtAsBase = true;
    }
    EXPECT_TRUE(caughtAsBase);
    TqlException copy(TqlException(2, 9, "text"));
    EXPECT_EQ(copy.kind(), 2);
    EXPECT_EQ(copy.code(), 9);
    EXPECT_EQ(copy.message(), "text");
}

} // namespace
} // namespace zrk
