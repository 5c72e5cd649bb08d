-- Shared by the Ardour session scripts (loaded with dofile): the session on the dummy
-- backend, waits in the engine's samples, and the plug-in's controls.
local lib = {}

-- A new session in `folder` named `name` at 48 kHz on the dummy backend's device `device`
-- ("Sine Wave", "Silence", ...), its engine running.
function lib.open_session(folder, name, device)
    local backend = AudioEngine:set_backend("None (Dummy)", "", "")
    assert(backend, "no dummy backend")
    backend:set_device_name(device)
    local session = create_session(folder, name, 48000)
    assert(session, "no session")
    assert(AudioEngine:running(), "the engine does not run")
    return session
end

-- Runs until the engine has processed `samples` more samples: audio time, however fast this
-- machine runs the engine. The bound of a minute only ends a hang.
function lib.run_for(samples)
    local target = AudioEngine:processed_samples() + samples
    for _ = 1, 6000 do
        if AudioEngine:processed_samples() >= target then
            return
        end
        ARDOUR.LuaAPI.usleep(10000)
    end
    error("the engine stopped processing")
end

-- The value of the plug-in's control parameter `n` (its control ports in order: mode,
-- rate, enable, always, then the outputs frames sent, frames dropped, peak A, peak B, and
-- group, members, slot).
function lib.control(insert, n)
    local value, refs = ARDOUR.LuaAPI.get_plugin_insert_param(insert, n, false)
    assert(refs[3], "no control " .. n)
    return value
end

return lib
