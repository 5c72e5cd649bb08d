// Keeps vex_platform a real library on every build, whatever stand-ins it holds.
namespace vex::platform {
int anchor() {
    return 0;
}
} // namespace vex::platform
