-- Wireshark dissector for the frames of the AreaScan laser area scanner, as the tool's
-- recordings hold them: pcap files of link type 147 (LINKTYPE_USER0), one frame per packet.
-- Request frames (PC to scanner), reply frames and scan frames are named field by field;
-- a frame whose checksum does not hold is marked with an expert info.
--
-- Installed with the package into Wireshark's global Lua plugin folder; from a source tree:
--   wireshark -X lua_script:packaging/wireshark/areascan.lua trip.pcap
--   tshark -X lua_script:packaging/wireshark/areascan.lua -r trip.pcap -V
--
-- Everything is little-endian; the checksum is CRC-16/CCITT-FALSE over all bytes in front
-- of it, stored low byte first. Packets that hold several frames or stray bytes (a capture
-- of the raw serial line) are walked frame by frame.

local bit = bit or bit32 -- Wireshark bundles LuaBitOp with every Lua it is built with
local band, bor, bxor, lshift, rshift = bit.band, bit.bor, bit.bxor, bit.lshift, bit.rshift

local areascan = Proto("areascan", "AreaScan laser scanner link")

local HEADER_LEAD = 0x5A
local KIND_REQUEST, KIND_REPLY, KIND_SCAN = 0xFA, 0xFB, 0xFF
local SCAN_FRAME_SIZE = 379
local POINTS_PER_SCAN_FRAME = 90
local ZONE_BLOCK_BYTES = 6508
local AREA_BLOCK_BYTES = 2169
local MAX_ZONE_POINTS = 540

-- The request set: name, request payload, reply decoding (and a text reply's width).
-- Payloads: u8, flag16, i16, i32, float, text, digest, zone, chunk; nil for none.
-- Replies: status (the status word alone), u8, u16, i16, float, text, bytes3, zone; nil
-- for a reply the tool drops unread.
local REQUESTS = {
    [0x0000] = { "REQUEST_CURRENT_AREA", nil, "bytes3" },
    [0x0001] = { "REQUEST_DEVICE_IDENT", nil, "text", 5 },
    [0x0002] = { "REQUEST_SERIAL_NUMBER", nil, "text", 9 },
    [0x0003] = { "REQUEST_LOT_NUMBER", nil, "text", 9 },
    [0x0004] = { "REQUEST_FIRMWARE_VERSION", nil, "text", 6 },
    [0x0006] = { "REQUEST_DEVICE_MODE", nil, "u8" },
    [0x0008] = { "REQUEST_GET_FLOAT_VALUE", nil, "float" },
    [0x0009] = { "REQUEST_RESTART" },
    [0x000A] = { "REQUEST_ENTER_BOOTLOADER" },
    [0x000D] = { "REQUEST_READ_AREAS_DONE", nil, "status" },
    [0x000E] = { "REQUEST_CONNECT", nil, "status" },
    [0x0011] = { "REQUEST_GET_FREQUENCY", nil, "u8" },
    [0x0012] = { "REQUEST_SET_FREQUENCY", "u8" },
    [0x0013] = { "REQUEST_GET_FILTER_ENABLE", nil, "u8" },
    [0x0014] = { "REQUEST_SET_FILTER_ENABLE", "flag16" },
    [0x0015] = { "REQUEST_GET_FILTER_STRENGTH", nil, "u8" },
    [0x0016] = { "REQUEST_SET_FILTER_STRENGTH", "u8" },
    [0x0017] = { "REQUEST_GET_FILTER_MIN_RANGE", nil, "u16" },
    [0x0018] = { "REQUEST_SET_FILTER_MIN_RANGE", "i16" },
    [0x0019] = { "REQUEST_GET_FILTER_MAX_RANGE", nil, "u16" },
    [0x001A] = { "REQUEST_SET_FILTER_MAX_RANGE", "i16" },
    [0x001B] = { "REQUEST_GET_AVERAGE_FILTER", nil, "u8" },
    [0x001C] = { "REQUEST_SET_AVERAGE_FILTER", "flag16" },
    [0x001D] = { "REQUEST_GET_INPUT_NONC", nil, "u8" },
    [0x001E] = { "REQUEST_SET_INPUT_NONC", "flag16" },
    [0x001F] = { "REQUEST_GET_OUTPUT_NONC", nil, "u8" },
    [0x0020] = { "REQUEST_SET_OUTPUT_NONC", "flag16" },
    [0x0021] = { "REQUEST_GET_MASK_INTENSITY", nil, "u16" },
    [0x0022] = { "REQUEST_SET_MASK_INTENSITY", "i16" },
    [0x0023] = { "REQUEST_GET_MASK_MIN_ANGLE", nil, "u16" },
    [0x0024] = { "REQUEST_SET_MASK_MIN_ANGLE", "i16" },
    [0x0025] = { "REQUEST_GET_MASK_MAX_ANGLE", nil, "u16" },
    [0x0026] = { "REQUEST_SET_MASK_MAX_ANGLE", "i16" },
    [0x0055] = { "REQUEST_SAVE_PARAMETERS", nil, "status" },
    [0x3300] = { "REQUEST_READ_AREA", "u8", "zone" },
    [0x3301] = { "REQUEST_WRITE_AREA", "zone", "status" },
    [0x3355] = { "REQUEST_BEGIN_AREA_WRITE", nil, "status" },
    [0x5500] = { "REQUEST_GET_PARAM_5500", nil, "float" },
    [0x5501] = { "REQUEST_GET_PARAM_5501", nil, "float" },
    [0x5502] = { "REQUEST_GET_APD", nil, "u16" },
    [0x5503] = { "REQUEST_SET_APD", "i32", "status" },
    [0x5504] = { "REQUEST_GET_PARAM_5504", nil, "float" },
    [0x5505] = { "REQUEST_SET_PARAM_5505", "float", "float" },
    [0x5506] = { "REQUEST_GET_OFFSET_DISTANCE", nil, "i16" },
    [0x5507] = { "REQUEST_SET_OFFSET_DISTANCE", "i16", "status" },
    [0x5508] = { "REQUEST_GET_PARAM_5508", nil, "u16" },
    [0x5509] = { "REQUEST_SET_PARAM_5509", "i16" },
    [0x550C] = { "REQUEST_GET_PARAM_550C", nil, "u16" },
    [0x550D] = { "REQUEST_SET_PARAM_550D", "i16", "status" },
    [0x550E] = { "REQUEST_GET_PARAM_550E", nil, "u8" },
    [0x550F] = { "REQUEST_SET_PARAM_550F", "u8" },
    [0x5510] = { "REQUEST_GET_MODE", nil, "u8" },
    [0x5511] = { "REQUEST_SET_MODE", "flag16", "status" },
    [0x5512] = { "REQUEST_GET_PARAM_5512", nil, "u16" },
    [0x5513] = { "REQUEST_SET_PARAM_5513", "i16" },
    [0x5514] = { "REQUEST_GET_NPN_PNP", nil, "text", 3 },
    [0x5515] = { "REQUEST_SET_NPN_PNP", "text", "status" },
    [0x5555] = { "REQUEST_SAVE_VENDOR_DATA", nil, "status" },
    [0xAA00] = { "REQUEST_FIRMWARE_BEGIN", nil, "status" },
    [0xAA01] = { "REQUEST_FIRMWARE_DATA", "chunk", "status" },
    [0xAA02] = { "REQUEST_FIRMWARE_END", nil, "status" },
    [0xAA03] = { "REQUEST_FIRMWARE_VERIFY", "digest", "u8" },
    [0xAA04] = { "REQUEST_FIRMWARE_COMMIT", nil, "status" },
    [0xFF00] = { "REQUEST_GET_PARAM_FF00", nil, "u8" },
    [0xFF01] = { "REQUEST_SET_PARAM_FF01", "flag16" },
}

local request_names = {}
for code, info in pairs(REQUESTS) do
    request_names[code] = info[1]
end
local kind_names = { [KIND_REQUEST] = "Request", [KIND_REPLY] = "Reply", [KIND_SCAN] = "Scan" }
-- As Wireshark's own checksum status fields count.
local checksum_states = { [0] = "Bad", [1] = "Good" }

local f = {
    kind = ProtoField.uint8("areascan.kind", "Frame kind", base.HEX, kind_names),
    length = ProtoField.uint16("areascan.length", "Frame length"),
    code = ProtoField.uint16("areascan.code", "Request type", base.HEX, request_names),
    name = ProtoField.string("areascan.name", "Request name"),
    status = ProtoField.uint16("areascan.status", "Status word"),
    reserved = ProtoField.bytes("areascan.reserved", "Not interpreted"),
    payload = ProtoField.bytes("areascan.payload", "Payload"),
    u8 = ProtoField.uint8("areascan.value.u8", "Value"),
    u16 = ProtoField.uint16("areascan.value.u16", "Value"),
    i16 = ProtoField.int16("areascan.value.i16", "Value"),
    i32 = ProtoField.int32("areascan.value.i32", "Value"),
    float = ProtoField.float("areascan.value.float", "Value"),
    text = ProtoField.string("areascan.value.text", "Text"),
    digest = ProtoField.bytes("areascan.digest", "MD5 digest"),
    chunk = ProtoField.bytes("areascan.chunk", "Firmware chunk"),
    sector = ProtoField.uint8("areascan.sector", "Sector"),
    error = ProtoField.uint8("areascan.error", "Error state", base.HEX),
    outputs = ProtoField.uint8("areascan.outputs", "Outputs", base.HEX),
    inputs = ProtoField.uint8("areascan.inputs", "Inputs", base.HEX),
    range = ProtoField.uint16("areascan.range", "Range"),
    intensity = ProtoField.uint16("areascan.intensity", "Intensity"),
    channel = ProtoField.uint8("areascan.zone.channel", "Channel"),
    on_delay = ProtoField.uint8("areascan.zone.on_delay", "onDelay selector"),
    off_delay = ProtoField.uint8("areascan.zone.off_delay", "offDelay selector"),
    hysteresis = ProtoField.uint8("areascan.zone.hysteresis", "hysteresis selector"),
    detectable_size = ProtoField.uint8("areascan.zone.detectable_size", "detectableSize selector"),
    region_type = ProtoField.uint8("areascan.zone.region_type", "regionType"),
    depend_scale = ProtoField.uint16("areascan.zone.depend_scale", "dependScale"),
    point_count = ProtoField.uint16("areascan.zone.points", "Point count"),
    x = ProtoField.int16("areascan.zone.x", "x"),
    y = ProtoField.int16("areascan.zone.y", "y"),
    checksum = ProtoField.uint16("areascan.checksum", "Checksum", base.HEX),
    checksum_status = ProtoField.uint8("areascan.checksum.status", "Checksum status", base.DEC,
        checksum_states),
    stray = ProtoField.bytes("areascan.stray", "Bytes outside any frame"),
}
areascan.fields = {}
for _, field in pairs(f) do
    table.insert(areascan.fields, field)
end

local e = {
    bad_checksum = ProtoExpert.new("areascan.checksum.bad", "Bad checksum",
        expert.group.CHECKSUM, expert.severity.ERROR),
    bad_length = ProtoExpert.new("areascan.length.bad", "Frame length not sound",
        expert.group.MALFORMED, expert.severity.ERROR),
    cut = ProtoExpert.new("areascan.cut", "Frame cut short", expert.group.MALFORMED,
        expert.severity.ERROR),
    short_payload = ProtoExpert.new("areascan.payload.short", "Payload shorter than its type needs",
        expert.group.MALFORMED, expert.severity.WARN),
    unknown = ProtoExpert.new("areascan.code.unknown", "Request type the scanner does not know",
        expert.group.UNDECODED, expert.severity.WARN),
    refused = ProtoExpert.new("areascan.status.refused", "Non-zero status word",
        expert.group.RESPONSE_CODE, expert.severity.NOTE),
    too_many_points = ProtoExpert.new("areascan.zone.points.bad", "More points than an area holds",
        expert.group.MALFORMED, expert.severity.WARN),
    stray = ProtoExpert.new("areascan.stray.expert", "Bytes outside any frame",
        expert.group.PROTOCOL, expert.severity.WARN),
}
areascan.experts = {}
for _, ex in pairs(e) do
    table.insert(areascan.experts, ex)
end

-- CRC-16/CCITT-FALSE (polynomial 0x1021, initial 0xFFFF, not reflected), a byte at a time.
local crc_table = {}
for i = 0, 255 do
    local crc = lshift(i, 8)
    for _ = 1, 8 do
        if band(crc, 0x8000) ~= 0 then
            crc = bxor(lshift(crc, 1), 0x1021)
        else
            crc = lshift(crc, 1)
        end
    end
    crc_table[i] = band(crc, 0xFFFF)
end

local function frame_checksum(bytes, count)
    local crc = 0xFFFF
    local byte = string.byte
    for i = 1, count do
        crc = bxor(band(lshift(crc, 8), 0xFFFF), crc_table[bxor(rshift(crc, 8), byte(bytes, i))])
    end
    return crc
end

-- The stored checksum at the frame's last two bytes against the one computed over all
-- bytes in front of it; returns whether it holds.
local function check_checksum(tvb, tree, start, length)
    local stored_range = tvb(start + length - 2, 2)
    local stored = stored_range:le_uint()
    local computed = frame_checksum(tvb:raw(start, length - 2), length - 2)
    local item = tree:add_le(f.checksum, stored_range)
    local good = stored == computed
    if good then
        item:append_text(" [correct]")
    else
        item:append_text(string.format(" [incorrect, should be 0x%04x]", computed))
        item:add_proto_expert_info(e.bad_checksum,
            string.format("Bad checksum: stored 0x%04x, computed 0x%04x", stored, computed))
    end
    tree:add(f.checksum_status, stored_range, good and 1 or 0):set_generated()
    return good
end

local function request_name(code)
    return request_names[code] or string.format("unknown type 0x%04x", code)
end

local function add_points(area_tree, tvb, base, count)
    if count == 0 then
        return
    end
    local points = area_tree:add(areascan, tvb(base + 9, 4 * MAX_ZONE_POINTS), "Points")
    for i = 0, count - 1 do
        local x_range = tvb(base + 9 + 2 * i, 2)
        local y_range = tvb(base + 9 + 2 * MAX_ZONE_POINTS + 2 * i, 2)
        local point = points:add(areascan, x_range,
            string.format("Point %d: (%d, %d)", i, x_range:le_int(), y_range:le_int()))
        point:add_le(f.x, x_range)
        point:add_le(f.y, y_range)
    end
end

-- A zone block: the channel and its three areas. Returns the channel, or nil when the
-- bytes do not reach it.
local function dissect_zone_block(tvb, tree, start, size)
    if size < 1 then
        return nil
    end
    local block = tree:add(areascan, tvb(start, math.min(size, ZONE_BLOCK_BYTES)), "Zone block")
    local channel = tvb(start, 1):uint()
    block:add(f.channel, tvb(start, 1))
    block:append_text(string.format(", channel %d", channel))
    for area = 0, 2 do
        local base = start + 1 + area * AREA_BLOCK_BYTES
        if base + AREA_BLOCK_BYTES > start + size then
            block:add_proto_expert_info(e.short_payload,
                string.format("Zone block cut short: %d of %d bytes", size, ZONE_BLOCK_BYTES))
            break
        end
        local at = block:add(areascan, tvb(base, AREA_BLOCK_BYTES), string.format("Area %d", area))
        at:add(f.on_delay, tvb(base, 1))
        at:add(f.off_delay, tvb(base + 1, 1))
        at:add(f.hysteresis, tvb(base + 2, 1))
        at:add(f.detectable_size, tvb(base + 3, 1))
        at:add(f.region_type, tvb(base + 4, 1))
        at:add_le(f.depend_scale, tvb(base + 5, 2))
        local count_item = at:add_le(f.point_count, tvb(base + 7, 2))
        local count = tvb(base + 7, 2):le_uint()
        if count > MAX_ZONE_POINTS then
            count_item:add_proto_expert_info(e.too_many_points)
            count = MAX_ZONE_POINTS
        end
        add_points(at, tvb, base, count)
    end
    return channel
end

local VALUE_SIZES = { u8 = 1, flag16 = 2, i16 = 2, u16 = 2, i32 = 4, float = 4, bytes3 = 3 }

-- A request's or reply's payload by its encoding; returns a short text for the Info column.
local function dissect_value(tvb, tree, start, size, encoding, width)
    if encoding == "zone" then
        local channel = dissect_zone_block(tvb, tree, start, size)
        return channel and string.format("channel %d", channel) or nil
    end
    local needed = width or VALUE_SIZES[encoding] or 0
    if size < needed then
        if size > 0 then
            tree:add(f.payload, tvb(start, size))
        end
        tree:add_proto_expert_info(e.short_payload,
            string.format("Payload of %d bytes; its type needs %d", size, needed))
        return nil
    end
    local range = size > 0 and tvb(start, needed > 0 and needed or size) or nil
    if encoding == "u8" then
        tree:add(f.u8, range)
        return tostring(range:uint())
    elseif encoding == "flag16" or encoding == "u16" then
        tree:add_le(f.u16, range)
        return tostring(range:le_uint())
    elseif encoding == "i16" then
        tree:add_le(f.i16, range)
        return tostring(range:le_int())
    elseif encoding == "i32" then
        tree:add_le(f.i32, range)
        return tostring(range:le_int())
    elseif encoding == "float" then
        tree:add_le(f.float, range)
        return string.format("%g", range:le_float())
    elseif encoding == "text" then
        if size == 0 then
            return '""'
        end
        -- A reply's text field is NUL-padded to its width (a full one has no NUL); a
        -- request's is all of its payload.
        local text_range = width and range or tvb(start, size)
        local text = text_range:raw()
        local nul = string.find(text, "\0", 1, true)
        if nul then
            text = string.sub(text, 1, nul - 1)
        end
        tree:add(f.text, text_range, text)
        return '"' .. text .. '"'
    elseif encoding == "bytes3" then
        tree:add(f.u8, tvb(start, 1)):append_text(" (area index)")
        tree:add(f.u8, tvb(start + 1, 1)):append_text(" (current channel)")
        tree:add(f.u8, tvb(start + 2, 1))
        return string.format("%d %d %d", tvb(start, 1):uint(), tvb(start + 1, 1):uint(),
            tvb(start + 2, 1):uint())
    elseif encoding == "digest" then
        if range then
            tree:add(f.digest, range)
        end
        return nil
    elseif encoding == "chunk" then
        if range then
            tree:add(f.chunk, range)
        end
        return string.format("%d bytes", size)
    end
    if range then
        tree:add(f.payload, range)
    end
    return nil
end

local function dissect_request_or_reply(tvb, tree, start, length, kind)
    local code = tvb(start + 4, 2):le_uint()
    local info = REQUESTS[code]
    local code_item = tree:add_le(f.code, tvb(start + 4, 2))
    tree:add(f.name, tvb(start + 4, 2), request_name(code)):set_generated()
    local summary = string.format("%s %s", kind_names[kind], request_name(code))
    if not info then
        code_item:add_proto_expert_info(e.unknown)
    end
    local value
    if kind == KIND_REQUEST then
        tree:add(f.reserved, tvb(start + 6, 2))
        local size = length - 10
        if info and info[2] then
            value = dissect_value(tvb, tree, start + 8, size, info[2])
        elseif size > 0 then
            tree:add(f.payload, tvb(start + 8, size))
        end
    else
        local status_range = tvb(start + 6, 2)
        local status = status_range:le_uint()
        local status_item = tree:add_le(f.status, status_range)
        tree:add(f.reserved, tvb(start + 8, 2))
        summary = summary .. string.format(", status %d", status)
        if status ~= 0 then
            status_item:add_proto_expert_info(e.refused)
        end
        local size = length - 12
        if info and info[3] and info[3] ~= "status" then
            value = dissect_value(tvb, tree, start + 10, size, info[3], info[4])
        elseif size > 0 then
            tree:add(f.payload, tvb(start + 10, size))
        end
    end
    if value then
        summary = summary .. ": " .. value
    end
    return summary
end

-- The angle texts of a sector's measurements, made once: measurement i of sector s points
-- at (s - 1) * 45 + i / 2 degrees.
local angle_text_cache = {}
local function angle_texts(sector)
    local texts = angle_text_cache[sector]
    if not texts then
        texts = {}
        for i = 0, POINTS_PER_SCAN_FRAME - 1 do
            texts[i] = string.format(" (%.1f°)", (sector - 1) * 45 + i * 0.5)
        end
        angle_text_cache[sector] = texts
    end
    return texts
end

local function dissect_scan(tvb, tree, start, length)
    local sector = tvb(start + 6, 1):uint()
    tree:add(f.reserved, tvb(start + 4, 2))
    tree:add(f.sector, tvb(start + 6, 1))
    tree:add(f.reserved, tvb(start + 7, 7))
    tree:add(f.error, tvb(start + 14, 1))
    tree:add(f.outputs, tvb(start + 15, 1))
    tree:add(f.inputs, tvb(start + 16, 1))
    local summary = string.format("Scan sector %d, error 0x%02x, outputs 0x%02x, inputs 0x%02x",
        sector, tvb(start + 14, 1):uint(), tvb(start + 15, 1):uint(), tvb(start + 16, 1):uint())
    -- A frame of another length holds as many measurements as fit in front of its checksum.
    local ranges_at = start + 17
    local intensities_at = ranges_at + 2 * POINTS_PER_SCAN_FRAME
    local function count_before_checksum(at)
        return math.max(0, math.min(POINTS_PER_SCAN_FRAME, math.floor((start + length - 2 - at) / 2)))
    end
    local range_count = count_before_checksum(ranges_at)
    local intensity_count = count_before_checksum(intensities_at)
    -- The items are added for filters and field output even when no tree is shown; only
    -- their angle texts are left out then, which is most of the time a file takes to open.
    local labelled = tree.visible
    local angles = labelled and angle_texts(sector)
    local function add_measurements(label, field, at, count)
        if count == 0 then
            return
        end
        local subtree = tree:add(areascan, tvb(at, 2 * count), label)
        for i = 0, count - 1 do
            local item = subtree:add_le(field, tvb(at + 2 * i, 2))
            if angles then
                item:append_text(angles[i])
            end
        end
    end
    add_measurements("Ranges", f.range, ranges_at, range_count)
    add_measurements("Intensities", f.intensity, intensities_at, intensity_count)
    return summary
end

-- One frame starting at start; returns the bytes it takes and its Info text.
local function dissect_frame(tvb, tree, start)
    local available = tvb:len() - start
    local kind = tvb(start + 1, 1):uint()
    local frame_tree = tree:add(areascan, tvb(start, math.min(available, 4)))
    frame_tree:add(f.kind, tvb(start + 1, 1))
    if available < 4 then
        frame_tree:add_proto_expert_info(e.cut, "Frame cut short in its header")
        return available, "cut-off frame"
    end
    local length = tvb(start + 2, 2):le_uint()
    local length_item = frame_tree:add_le(f.length, tvb(start + 2, 2))
    -- Header and checksum; a scan frame's three state bytes too.
    local least = kind == KIND_REPLY and 12 or (kind == KIND_REQUEST and 10 or 19)
    if length < least then
        length_item:add_proto_expert_info(e.bad_length,
            string.format("Frame length %d is below the %d bytes of its header and checksum",
                length, least))
        return 4, string.format("%s frame of unsound length %d", kind_names[kind], length)
    end
    if length > available then
        length_item:add_proto_expert_info(e.cut,
            string.format("Frame cut short: %d of %d bytes", available, length))
        return available, string.format("%s frame cut short", kind_names[kind])
    end
    frame_tree:set_len(length)
    local summary
    if kind == KIND_SCAN then
        if length ~= SCAN_FRAME_SIZE then
            length_item:add_proto_expert_info(e.bad_length,
                string.format("Scan frame of %d bytes, not %d", length, SCAN_FRAME_SIZE))
        end
        summary = dissect_scan(tvb, frame_tree, start, length)
    else
        summary = dissect_request_or_reply(tvb, frame_tree, start, length, kind)
    end
    if not check_checksum(tvb, frame_tree, start, length) then
        summary = summary .. " [bad checksum]"
    end
    frame_tree:append_text(", " .. summary)
    return length, summary
end

-- The next frame header at or after start, or nil.
local function find_header(tvb, start)
    local bytes = tvb:raw(start)
    local from = 1
    while true do
        local at = string.find(bytes, "\90", from, true)
        if not at or at == #bytes then
            return nil
        end
        local mark = string.byte(bytes, at + 1)
        if mark == KIND_REQUEST or mark == KIND_REPLY or mark == KIND_SCAN then
            return start + at - 1
        end
        from = at + 1
    end
end

function areascan.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "AreaScan"
    local summaries = {}
    local offset = 0
    local total = tvb:len()
    local from_scanner = false
    while offset < total do
        local header = find_header(tvb, offset)
        if header ~= offset then
            local stray_end = header or total
            tree:add(f.stray, tvb(offset, stray_end - offset))
                :add_proto_expert_info(e.stray)
            table.insert(summaries, string.format("%d stray bytes", stray_end - offset))
            offset = stray_end
        end
        if header then
            local taken, summary = dissect_frame(tvb, tree, header)
            from_scanner = from_scanner or tvb(header + 1, 1):uint() ~= KIND_REQUEST
            table.insert(summaries, summary)
            offset = header + taken
        end
    end
    pinfo.cols.src = from_scanner and "scanner" or "PC"
    pinfo.cols.dst = from_scanner and "PC" or "scanner"
    pinfo.cols.info = table.concat(summaries, "; ")
    return total
end

-- The recordings' link type; Wireshark hands its packets to this dissector directly, with
-- no DLT_USER preference to set.
DissectorTable.get("wtap_encap"):add((wtap_encaps or wtap).USER0, areascan)
