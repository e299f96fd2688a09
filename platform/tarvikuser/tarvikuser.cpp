// Placeholder until the stand-in is written.
namespace {}
