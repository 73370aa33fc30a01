#include "machine/devices/console_devices.h"

void ConsoleDevices::map_into(DeviceMap& map) {
  ri.map_into(map);
  sp.map_into(map);
  dp.map_into(map);
  map.add({MipsInterface::kFirst, MipsInterface::kLast, &mi, 0});
  map.add({VideoInterface::kFirst, VideoInterface::kFirst + VideoInterface::kBytes - 1, &vi, 0});
  map.add({AudioInterface::kFirst, AudioInterface::kFirst + AudioInterface::kBytes - 1, &ai, 0});
  map.add({PeripheralInterface::kFirst,
           PeripheralInterface::kFirst + PeripheralInterface::kBytes - 1, &pi, 0});
  si.map_into(map);
  map.add({IsViewer::kFirst, IsViewer::kLast, &isviewer, 0});
}

void ConsoleDevices::reset(TvType tv) {
  *this = ConsoleDevices{};
  for (Event event : {Event::pi_dma, Event::si_dma, Event::sp_dma, Event::ai_buffer}) {
    scheduler.cancel(event);
  }
  vi.reset(tv);
  ai.tv = tv;
  mi.update_processor();
}

void ConsoleDevices::take_device_event(Event event) {
  switch (event) {
    case Event::pi_dma:
      pi.dma_ended();
      break;
    case Event::si_dma:
      si.transfer_ended();
      break;
    case Event::sp_dma:
      sp.dma_ended();
      break;
    case Event::vi_interrupt:
      vi.interrupt_reached();
      break;
    case Event::ai_buffer:
      ai.buffer_ended();
      break;
    default:
      break;
  }
}

void ConsoleDevices::set_controller(uint16_t buttons, int8_t stick_x, int8_t stick_y) {
  si.controller = {buttons, stick_x, stick_y};
}
