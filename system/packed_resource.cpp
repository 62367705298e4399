#include "system/packed_resource.h"

#include "lzh/lzh_decoder.h"
#include "state/context.h"

namespace {

uint32_t Little32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// The decoder's procedures take no context: the streams' ends are in ctx.
void ReadPacked(void* buffer, uint16_t, uint16_t& actual) {
    actual = ctx.packedLeft ? 1 : 0;
    if (!actual) return;
    *static_cast<uint8_t*>(buffer) = *ctx.packedNext++;
    --ctx.packedLeft;
}

// A last match may reach past the unpacked length: those bytes are dropped.
void WriteUnpacked(const void* buffer, uint16_t count, uint16_t& actual) {
    for (actual = 0; actual < count; ++actual) {
        if (ctx.unpackedLeft == 0) continue;
        *ctx.unpackedNext++ = static_cast<const char*>(buffer)[actual];
        --ctx.unpackedLeft;
    }
}

}  // namespace

String UnpackResource(const char* name) {
    HRSRC found = FindResourceA(ctx.instance, name, RT_RCDATA);
    // A loaded resource of a 32-bit module is its address, as LockResource would say.
    const uint8_t* packed = static_cast<const uint8_t*>(found ? LoadResource(ctx.instance, found) : nullptr);
    if (!packed) return String();
    String text(Little32(packed), '\0');
    ctx.packedNext = packed + 8;
    ctx.packedLeft = Little32(packed + 4);
    ctx.unpackedNext = text.data();
    ctx.unpackedLeft = static_cast<uint32_t>(text.size());
    decode(static_cast<int32_t>(text.size()), ReadPacked, WriteUnpacked);
    return ctx.unpackedLeft ? String() : text;
}
