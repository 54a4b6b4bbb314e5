// The record of a press's host failures and the one message built from it; giving objects back.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "host/HostFailures.h"
#include "host/HostObjects.h"

namespace {

bool says(const std::string& message, const std::string& part) {
    return message.find(part) != std::string::npos;
}

TEST(HostFailures, NamesTheFirstFailureAndCountsThemAll) {
    HostFailures f;
    EXPECT_FALSE(f.any());
    EXPECT_EQ(f.message(), "");
    f.failed("a cost that follows from a failure already noted", 0);
    EXPECT_FALSE(f.any());

    f.failed("reading the composition", 5);
    f.failed("showing a message", 7);
    const std::string m = f.message();
    EXPECT_TRUE(says(m,
                     "Tessaron (Pro): 2 host failures, the first in reading the composition "
                     "(error 5)."))
        << m;
    EXPECT_FALSE(says(m, "showing a message")) << m;
    // The run's undo group never opened: nothing was touched.
    EXPECT_TRUE(says(m, "Nothing was changed.")) << m;
    EXPECT_FALSE(says(m, "Undo")) << m;
}

TEST(HostFailures, TellsHowMuchOfTheCollageWasLostAndThatUndoRestoresIt) {
    HostFailures f;
    f.groupOpened();
    f.planKeys(3, 4);
    f.keysWritten(0, 4);
    f.keysWritten(1, 2);
    f.keysWritten(2, 4);
    f.failed("writing the layers' keys", 1);
    f.keysLeft("removing existing keys", 1, 2);
    f.fellBack("reading a Scale key", 1, 3);
    f.tangentsNotSet("setting spatial tangents", 1);
    f.motionBlurNotSet("switching motion blur on", 0);
    f.failed("running the ease script", 1);
    f.eases(600, 0, "");  // a script the host refused
    f.eases(600, 560, "Error: setTemporalEaseAtKey: influence must be between 0.1 and 100\n");
    f.eases(40, 40, "");
    f.runFinished();
    const std::string m = f.message();
    EXPECT_TRUE(says(m, "Not written: 2 of 12 keys, on 1 of 3 layers.")) << m;
    EXPECT_TRUE(says(m, "Existing keys left on 2 layers.")) << m;
    EXPECT_TRUE(says(m, "3 readings replaced by a fallback value.")) << m;
    EXPECT_TRUE(says(m, "Spatial tangents not set on 1 layer.")) << m;
    EXPECT_TRUE(says(m, "Motion blur not switched on for 1 layer.")) << m;
    EXPECT_TRUE(says(m, "5 host failures, the first in writing the layers' keys")) << m;
    EXPECT_TRUE(says(m,
                     "Eases not set: 640 of 1240 keys (the first error: Error: "
                     "setTemporalEaseAtKey: influence must be between 0.1 and 100)."))
        << m;
    EXPECT_TRUE(says(m, "Undo restores the project as it was before Create.")) << m;
    EXPECT_FALSE(says(m, "complete")) << m;
}

TEST(HostFailures, AFailureThatCostNothingLeavesTheCollageComplete) {
    HostFailures f;
    f.groupOpened();
    f.planKeys(2, 3);
    f.keysWritten(0, 3);
    f.keysWritten(1, 3);
    f.progressNotShown("showing the progress text", 4);
    f.runFinished();
    f.stopped("acquiring a host suite", 516);  // after the run, refreshing the button
    const std::string m = f.message();
    EXPECT_TRUE(says(m, "The collage is complete.")) << m;
    EXPECT_TRUE(says(m, "Progress text not shown.")) << m;
    EXPECT_FALSE(says(m, "stopped early")) << m;
    EXPECT_FALSE(says(m, "Undo")) << m;
}

TEST(HostFailures, ARunStoppedHalfWayOrWithItsGroupOpenSaysSo) {
    HostFailures stopped;
    stopped.groupOpened();
    stopped.planKeys(2, 3);
    stopped.keysWritten(0, 3);
    stopped.stopped("acquiring a host suite", 516);
    std::string m = stopped.message();
    EXPECT_TRUE(says(m, "The run stopped early. Not written: 3 of 6 keys, on 1 of 2 layers.")) << m;
    EXPECT_TRUE(says(m, "Undo restores")) << m;

    HostFailures open;
    open.groupOpened();
    open.failed("closing the undo group", 1);
    open.groupLeftOpen();
    open.runFinished();
    m = open.message();
    EXPECT_TRUE(says(m, "The undo group could not be closed.")) << m;
    EXPECT_FALSE(says(m, "Undo restores")) << m;
}

// A release is asked once: an error does not say whether the host let go of the object first,
// and a second release could release it twice.
TEST(HostFailures, AReleaseIsAskedOnceAndARefusalCountedInThePressInProgress) {
    HostFailures press;
    {
        HostFailureScope scope(press);
        int asked = 0;
        EXPECT_EQ(giveBack([&] { return ++asked, A_Err_NONE; }), A_Err_NONE);
        EXPECT_FALSE(press.any());

        asked = 0;
        EXPECT_EQ(giveBack([&] { return ++asked, A_Err_PARAMETER; }), A_Err_PARAMETER);
        EXPECT_EQ(asked, 1);
    }
    EXPECT_TRUE(says(press.message(), "1 host object could not be released.")) << press.message();
    // Outside a press, failures go to a record nobody reads.
    giveBack([] { return A_Err_GENERIC; });
    EXPECT_TRUE(says(press.message(), "1 host failure,")) << press.message();
}

// A value guard whose host call fails before or after the host acted: a value the host handed
// out is given back once, one it kept is not given back again, and nothing is misused.
TEST(HostObjects, AValueGuardGivesBackOnceWhateverTheHostAnswers) {
    struct Case {
        const char* op;
        bool after;
        long disposes;    // dispose calls made
        long valuesLeft;  // with the host when the guard is gone
    };
    for (const Case& c :
         {Case{"AEGP_GetNewStreamValue", false, 0, 0}, Case{"AEGP_GetNewStreamValue", true, 1, 0},
          Case{"AEGP_DisposeStreamValue", false, 1, 1},
          Case{"AEGP_DisposeStreamValue", true, 1, 0}}) {
        SCOPED_TRACE(std::string(c.op) + (c.after ? " failing after acting" : " failing before"));
        fixture::HostedEngine h(fixture::collageProject(1));
        AEGP_StreamRefH stream = h.positionStream(0);
        const long disposesBefore = h.host.callCount("AEGP_DisposeStreamValue");
        HostFailures press;
        {
            HostFailureScope scope(press);
            AEGP_SuiteHandler suites(h.engine.inData->pica_basicP);
            ScopedValue value(suites);
            h.host.injectFault(c.op, 1, A_Err_GENERIC, c.after);
            const A_Err err = value.readAt(h.engine.pluginId, stream, A_Time{0, 25});
            EXPECT_EQ(err != A_Err_NONE, std::string(c.op) == "AEGP_GetNewStreamValue");
        }
        const auto held = h.host.leaks();
        EXPECT_EQ(held.count("value") ? held.at("value") : 0L, c.valuesLeft);
        EXPECT_TRUE(h.host.takeMisuse().empty());
        EXPECT_EQ(h.host.callCount("AEGP_DisposeStreamValue") - disposesBefore, c.disposes);
        h.disposeStream(stream);
    }
}

// One guard read twice, by time and by key, holds one value at a time and none once it goes.
TEST(HostObjects, AValueGuardReadAgainHoldsOneValue) {
    fixture::HostedEngine h(fixture::collageProject(1));
    h.collageLayer(0).position.addKey(sim::Time{0, 25}, {10, 20, 0});
    AEGP_StreamRefH stream = h.positionStream(0);
    auto valuesHeld = [&] {
        const auto held = h.host.leaks();
        return held.count("value") ? held.at("value") : 0L;
    };
    {
        AEGP_SuiteHandler suites(h.engine.inData->pica_basicP);
        ScopedValue value(suites);
        for (int read = 0; read < 2; ++read) {
            EXPECT_EQ(value.readAt(h.engine.pluginId, stream, A_Time{read, 25}), A_Err_NONE);
            EXPECT_EQ(valuesHeld(), 1) << "after read " << read;
        }
        EXPECT_EQ(value.readKey(h.engine.pluginId, stream, 0), A_Err_NONE);
        EXPECT_EQ(value.value().val.three_d.x, 10.0);
        EXPECT_EQ(valuesHeld(), 1) << "after reading a key";
    }
    EXPECT_EQ(valuesHeld(), 0) << "after the guard";
    h.disposeStream(stream);
    EXPECT_TRUE(h.host.leaks().empty());
}

}  // namespace
