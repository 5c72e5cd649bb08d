-- Ardour's Lua session tool on its dummy backend: a stereo track fed by the backend's
-- "Sine Wave" inputs plays 2 s, then 2 s more with the plug-in inserted. The plug-in must
-- instantiate and run, and the track's peak meter read the same with it as without.
-- Arguments: the session folder. Prints "ardour: ok ..." when every check holds.
local folder = arg[1]
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy backend")
backend:set_device_name("Sine Wave")
local session = create_session(folder, "vex-lv2", 48000)
assert(session, "no session")
assert(AudioEngine:running(), "the engine does not run")

local track = session:new_audio_track(2, 2, nil, 1, "Sine", -1, ARDOUR.TrackMode.Normal, true):front()
assert(track, "no track")
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                     PBD.GroupControlDisposition.NoGroup)
local function level(channel)
    return track:peak_meter():meter_level(channel, ARDOUR.MeterType.MeterPeak)
end

ARDOUR.LuaAPI.usleep(2000000)
local without = { level(0), level(1) }

local processor = ARDOUR.LuaAPI.new_plugin(session, "urn:vex:analyzer", ARDOUR.PluginType.LV2, "")
assert(not processor:isnil(), "the plug-in did not instantiate")
assert(track:add_processor_by_index(processor, 0, nil, true) == 0, "the plug-in was not inserted")
local insert = processor:to_insert()
assert(insert:active(), "the plug-in is not active")
assert(insert:plugin(0):unique_id() == "urn:vex:analyzer", "another plug-in was inserted")
ARDOUR.LuaAPI.usleep(2000000)
local with = { level(0), level(1) }

-- The plug-in's control ports in order: mode, rate, enable, always, then the outputs
-- frames sent, frames dropped, peak A, peak B.
local function control(n)
    local value, refs = ARDOUR.LuaAPI.get_plugin_insert_param(insert, n, false)
    assert(refs[3], "no control " .. n)
    return value
end
local sent, peakA, peakB = control(4), control(6), control(7)
print(string.format("ardour: meter without %.3f %.3f dBFS, with %.3f %.3f dBFS; plug-in sent %d frames, peaks %.5f %.5f",
                    without[1], without[2], with[1], with[2], sent, peakA, peakB))
assert(without[1] > -60 and without[2] > -60, "no signal on the track")
-- Why 0.1 dB: the meter holds each period's largest sample, which moves by hundredths of
-- a decibel with where the crests fall; a lost or changed signal moves it by far more.
for c = 1, 2 do
    assert(math.abs(with[c] - without[c]) < 0.1, "the meter reads otherwise with the plug-in")
end
assert(sent >= 5, "the plug-in sent no frames")
-- The plug-in's peaks are the levels the meter shows.
assert(math.abs(20 * math.log(peakA, 10) - with[1]) < 0.1, "peak A differs from the meter")
assert(math.abs(20 * math.log(peakB, 10) - with[2]) < 0.1, "peak B differs from the meter")
close_session()
print("ardour: ok")
