-- Ardour's Lua session tool on its dummy backend: a stereo track fed by the backend's
-- "Sine Wave" inputs plays a second, then a second more with the plug-in inserted. The
-- plug-in must instantiate and run, the largest sample the track's meter holds must be the
-- same with it as without, and the plug-in's peaks must be that sample. Waits count the
-- engine's samples, not wall-clock time.
-- Arguments: the session folder. Prints "ardour: ok ..." when every check holds.
local lib = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_lib.lua")
local run_for, control = lib.run_for, lib.control
local session = lib.open_session(arg[1], "vex-lv2", "Sine Wave")

local track = session:new_audio_track(2, 2, nil, 1, "Sine", -1, ARDOUR.TrackMode.Normal, true):front()
assert(track, "no track")
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                     PBD.GroupControlDisposition.NoGroup)

-- The largest sample of each channel over a second of audio, in dBFS, as the track's peak
-- meter holds it since a reset. Why not the meter's current peak: that is the largest
-- sample of the last period only, and moves with where the crests fall in it. The
-- backend's sine wave repeats a table of at most 2404 samples, so every second holds the
-- table's largest sample.
local meter = track:peak_meter()
local function largest()
    meter:reset_max()
    run_for(48000 + 2048) -- the reset takes effect with the next period
    return { meter:meter_level(0, ARDOUR.MeterType.MeterMaxPeak),
             meter:meter_level(1, ARDOUR.MeterType.MeterMaxPeak) }
end

local without = largest()

local processor = ARDOUR.LuaAPI.new_plugin(session, "urn:vex:analyzer", ARDOUR.PluginType.LV2, "")
assert(not processor:isnil(), "the plug-in did not instantiate")
assert(track:add_processor_by_index(processor, 0, nil, true) == 0, "the plug-in was not inserted")
local insert = processor:to_insert()
assert(insert:active(), "the plug-in is not active")
assert(insert:plugin(0):unique_id() == "urn:vex:analyzer", "another plug-in was inserted")

-- Five frames a second: each frame's peaks then cover the samples since the frame before,
-- more than 9600 of them, so more than a whole table of the backend's sine.
assert(ARDOUR.LuaAPI.set_plugin_insert_param(insert, 1, 0), "cannot set the rate")
run_for(4096) -- the new rate reaches the plug-in with a period that starts after this call
local before = control(insert, 4)

local with = largest()
-- The frame after next is the first whose peaks span a whole hold-off at the new rate.
for _ = 1, 100 do
    if control(insert, 4) >= before + 2 then
        break
    end
    run_for(4800)
end
local sent, peakA, peakB = control(insert, 4), control(insert, 6), control(insert, 7)
print(string.format("ardour: meter without %.4f %.4f dBFS, with %.4f %.4f dBFS; plug-in sent %d frames, peaks %.6f %.6f",
                    without[1], without[2], with[1], with[2], sent, peakA, peakB))
assert(without[1] > -60 and without[2] > -60, "no signal on the track")
-- The same samples pass through the plug-in, so the largest one is the same.
for c = 1, 2 do
    assert(math.abs(with[c] - without[c]) < 0.001, "the meter reads otherwise with the plug-in")
end
assert(sent >= before + 2, "the plug-in sent too few frames")
-- The plug-in's peaks are the largest samples the meter holds (0.01 dB: the meter's
-- conversion to decibels is an approximation).
assert(math.abs(20 * math.log(peakA, 10) - with[1]) < 0.01, "peak A differs from the meter")
assert(math.abs(20 * math.log(peakB, 10) - with[2]) < 0.01, "peak B differs from the meter")
close_session()
print("ardour: ok")
