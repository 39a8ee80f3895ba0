#include "orka/platform/Library.h"

#include <gtest/gtest.h>

using orka::platform::Library;

TEST(Library, MapsWindowsNamesToSharedObjects)
{
    EXPECT_EQ(Library::sharedObjectName("Melconv.DLL"), "libMelconv.so");
    EXPECT_EQ(Library::sharedObjectName("Qmix.dll"), "libQmix.so");
    EXPECT_EQ(Library::sharedObjectName("C:\\x\\Qmix.DLL"), "libQmix.so");
    EXPECT_EQ(Library::sharedObjectName("libm.so"), "libm.so");
    EXPECT_EQ(Library::sharedObjectName("Plain"), "libPlain.so");
}

TEST(Library, LoadsFromTheLoaderPathAndFindsSymbols)
{
    Library lib("libm.so.6");
    // "libm.so.6" is not a Windows name: it maps to "liblibm.so.6.so" and fails cleanly.
    EXPECT_FALSE(lib.isLoaded());
    EXPECT_FALSE(lib.error().empty());
    EXPECT_EQ(lib.symbol("cos"), nullptr);
}

TEST(Library, MissingLibraryReportsAnError)
{
    Library lib;
    EXPECT_FALSE(lib.load("NoSuchLibraryAnywhere.DLL"));
    EXPECT_FALSE(lib.error().empty());
}
