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

TEST(Library, LoadsByWindowsNameFromBesideTheProgramAndCallsWhatItExports)
{
    Library lib("OrkaLibraryProbe.DLL");
    ASSERT_TRUE(lib.isLoaded()) << lib.error();
    EXPECT_TRUE(lib.error().empty());
    const auto answer = lib.function<int (*)()>("orkaLibraryProbeAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(lib.symbol("noSuchFunction"), nullptr);

    // A move hands the loaded library over; the moved-from object holds nothing.
    Library other = std::move(lib);
    EXPECT_FALSE(lib.isLoaded());
    EXPECT_EQ(lib.symbol("orkaLibraryProbeAnswer"), nullptr);
    ASSERT_TRUE(other.isLoaded());
    EXPECT_EQ(other.function<int (*)()>("orkaLibraryProbeAnswer")(), 42);
    other.unload();
    EXPECT_FALSE(other.isLoaded());
    EXPECT_EQ(other.symbol("orkaLibraryProbeAnswer"), nullptr);
}

TEST(Library, NamesThatAreNoLibraryFailCleanlyWithAReason)
{
    Library missing;
    EXPECT_FALSE(missing.load("NoSuchLibraryAnywhere.DLL"));
    EXPECT_FALSE(missing.error().empty());
    // "libm.so.6" is not a Windows name: it maps to "liblibm.so.6.so", which is nowhere.
    Library notWindows("libm.so.6");
    EXPECT_FALSE(notWindows.isLoaded());
    EXPECT_FALSE(notWindows.error().empty());
    EXPECT_EQ(notWindows.symbol("cos"), nullptr);
    // A failed load after a good one leaves nothing loaded.
    Library reused("OrkaLibraryProbe.DLL");
    ASSERT_TRUE(reused.isLoaded());
    EXPECT_FALSE(reused.load("NoSuchLibraryAnywhere.DLL"));
    EXPECT_FALSE(reused.isLoaded());
}
