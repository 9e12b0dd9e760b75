// A transfer tool that never ends (within a test's patience): it sleeps for a minute.
#include <chrono>
#include <thread>

int main() {
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}
