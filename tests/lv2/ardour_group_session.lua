-- Ardour's Lua session tool on its dummy backend: three tracks, each a sine generator (the
-- SinGen script Ardour ships; 100 Hz, 1 kHz and 5 kHz at -6 dBFS) then the plug-in in
-- group 1. Each member's members output must read 3, each track's meter must hold the same
-- largest sample with the plug-in as without, and while the members run a file
-- READY_FILE appears, a line "HERTZ SLOT" a track, then the session waits (up to a minute
-- of audio) for DONE_FILE, for a viewer of the group outside Ardour. The three members
-- must hold three different slots. Waits count the engine's samples.
-- Arguments: the session folder, READY_FILE, DONE_FILE. Prints "ardour: ok" when every
-- check holds.
local lib = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_lib.lua")
local run_for, control = lib.run_for, lib.control
local folder, ready, done = arg[1], arg[2], arg[3]
local session = lib.open_session(folder, "vex-group", "Silence")

local frequencies = { 100, 1000, 5000 }
local tracks = {}
for i, hz in ipairs(frequencies) do
    local track = session:new_audio_track(1, 1, nil, 1, "Sine " .. hz, -1, ARDOUR.TrackMode.Normal, true):front()
    assert(track, "no track")
    track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                         PBD.GroupControlDisposition.NoGroup)
    local sine = ARDOUR.LuaAPI.new_luaproc(session, "SinGen")
    assert(not sine:isnil(), "no SinGen")
    assert(track:add_processor_by_index(sine, 0, nil, true) == 0, "SinGen was not inserted")
    assert(ARDOUR.LuaAPI.set_processor_param(sine, 0, hz), "cannot set the frequency")
    assert(ARDOUR.LuaAPI.set_processor_param(sine, 1, -6), "cannot set the gain")
    tracks[i] = track
end

local function largest()
    for _, track in ipairs(tracks) do
        track:peak_meter():reset_max()
    end
    run_for(48000 + 2048)
    local levels = {}
    for i, track in ipairs(tracks) do
        levels[i] = track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterMaxPeak)
    end
    return levels
end

run_for(48000) -- the generators' gain settles
local without = largest()

-- The view (control 0) on the log spectrum, the group (control 8) on 1.
local inserts = {}
for i, track in ipairs(tracks) do
    local processor = ARDOUR.LuaAPI.new_plugin(session, "urn:vex:analyzer", ARDOUR.PluginType.LV2, "")
    assert(not processor:isnil(), "the plug-in did not instantiate")
    assert(track:add_processor_by_index(processor, 1, nil, true) == 0, "the plug-in was not inserted")
    inserts[i] = processor:to_insert()
    assert(ARDOUR.LuaAPI.set_plugin_insert_param(inserts[i], 0, 2), "cannot set the log view")
    assert(ARDOUR.LuaAPI.set_plugin_insert_param(inserts[i], 8, 1), "cannot set the group")
end
local function all_three()
    for _, insert in ipairs(inserts) do
        if control(insert, 9) ~= 3 then
            return false
        end
    end
    return true
end
for _ = 1, 100 do
    if all_three() then
        break
    end
    run_for(4800)
end

local with = largest()
local members, slots = {}, {}
for i, insert in ipairs(inserts) do
    members[i], slots[i] = control(insert, 9), control(insert, 10)
end
print(string.format("ardour: members %d %d %d, slots %d %d %d; meters without %.4f %.4f %.4f, with %.4f %.4f %.4f dBFS",
                    members[1], members[2], members[3], slots[1], slots[2], slots[3],
                    without[1], without[2], without[3], with[1], with[2], with[3]))
for i = 1, 3 do
    assert(members[i] == 3, "a member counts " .. members[i] .. " members, not 3")
    assert(slots[i] >= 0 and slots[i] <= 127, "track " .. i .. " holds no slot")
    for j = 1, i - 1 do
        assert(slots[i] ~= slots[j], "tracks " .. j .. " and " .. i .. " share slot " .. slots[i])
    end
    assert(without[i] > -10 and without[i] < -5, "no -6 dBFS sine on track " .. i)
    assert(math.abs(with[i] - without[i]) < 0.001, "the meter reads otherwise with the plug-in")
end

-- Why written whole under another name, then renamed: the test reads it once it exists.
local file = io.open(ready .. ".part", "w")
for i, hz in ipairs(frequencies) do
    file:write(string.format("%d %d\n", hz, slots[i]))
end
file:close()
assert(os.rename(ready .. ".part", ready), "cannot write " .. ready)
for _ = 1, 600 do
    local seen = io.open(done, "r")
    if seen then
        seen:close()
        break
    end
    run_for(4800)
end
close_session()
print("ardour: ok")
