#include <array>
#include <cstring>

#include "AEGP_SuiteHandler.h"
#include "animation/Properties.h"
#include "engine/MyTessaron.h"
#include "streams/LayerStreams.h"

namespace {

// Deletes every key of the stream, last to first, inside one add-keyframes batch that adds
// nothing. The batch is ended (adding nothing) even after a failed deletion; the keys deleted
// before the failure stay deleted.
A_Err deleteAllKeys(AEGP_SuiteHandler& suites, AEGP_StreamRefH stream) {
    AEGP_KeyframeSuite4* keys = suites.KeyframeSuite4();
    A_long count = 0;
    A_Err err = keys->AEGP_GetStreamNumKFs(stream, &count);
    ScopedKeyframeBatch batch(keys, false);
    if (!err) {
        err = batch.start(stream);
    }
    for (A_long k = count - 1; k >= 0 && !err; --k) {
        err = keys->AEGP_DeleteKeyframe(stream, k);
    }
    const A_Err endErr = batch.end();
    return err ? err : endErr;
}

A_Err showRemovalProgress(AEGP_SuiteHandler& suites, PF_InData* inData, int i, int n) {
    char text[64];
    std::memset(text, 0, sizeof(text));
    if (inData->utils->ansi.sprintf(text, "Removing keyframes of layer %d / %d", i + 1, n) < 0) {
        hostFailures().progressNotShown("formatting the progress text", -1);
    }
    return suites.AdvAppSuite2()->PF_InfoDrawText(text, "");
}

}  // namespace

void MyTessaron::removeKeys() {
    if (!removeKeysFirst) {
        return;
    }
    AEGP_SuiteHandler suites(inData->pica_basicP);
    A_Err err = A_Err_NONE;
    // Position, Scale, Rotation and Opacity of every collage layer, whatever the run's modes;
    // the first failure ends the removal.
    for (int i = 0; i < layerCount && !err; ++i) {
        AEGP_LayerH layer = nullptr;
        err = fetchCollageLayer(suites, *this, i, &layer);
        if (!err) {
            err = showRemovalProgress(suites, inData, i, layerCount);
        }
        for (size_t p = 0; p < kPropertyStreams.size() && !err; ++p) {
            ScopedStream stream(suites);
            err = stream.fetch(pluginId, layer, kPropertyStreams[p]);
            if (!err) {
                err = deleteAllKeys(suites, stream.get());
            }
        }
        if (err) {
            hostFailures().keysLeft("removing existing keys", err, layerCount - i);
        }
    }
}

void MyTessaron::removeStreamKeys(AEGP_StreamRefH stream) {
    AEGP_SuiteHandler suites(inData->pica_basicP);
    deleteAllKeys(suites, stream);
}
