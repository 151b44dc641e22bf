// Keeps the support library non-empty while the folder has no other helpers.
namespace oscalyx_test_support {}
