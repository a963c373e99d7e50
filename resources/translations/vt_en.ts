<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>监控</source>
        <translation>Monitoring</translation>
    </message>
    <message>
        <source>设备配置</source>
        <translation>DeviceSettings</translation>
    </message>
    <message>
        <source>区域监测配置</source>
        <translation>AreaConfiguration</translation>
    </message>
    <message>
        <source>运行状态</source>
        <translation>RunningStatus</translation>
    </message>
    <message>
        <source>产品信息</source>
        <translation>DeviceInformation</translation>
    </message>
    <message>
        <source>产品型号</source>
        <translation>DeviceModel</translation>
    </message>
    <message>
        <source>制造商</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>设备批次号</source>
        <translation>DeviceLot</translation>
    </message>
    <message>
        <source>出厂序列号</source>
        <translation>DeviceSerial</translation>
    </message>
    <message>
        <source>固件版本号 </source>
        <translation>FirmwareVersion</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>SerialSettings</translation>
    </message>
    <message>
        <source>串口号</source>
        <translation>PortName</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>BaudRate</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source> 正在读取区域信息</source>
        <translation>ReadingAreaInformation</translation>
    </message>
    <message>
        <source>运行配置参数</source>
        <translation>ConfigurationParameters</translation>
    </message>
    <message>
        <source>里程(m)</source>
        <translation>Range(m)</translation>
    </message>
    <message>
        <source>设备扫描角度范围(°)</source>
        <translation>ApertureAngle(°)</translation>
    </message>
    <message>
        <source>有效扫描角度范围(°)</source>
        <translation>ScanningAngle(°)</translation>
    </message>
    <message>
        <source>设备频率(Hz）</source>
        <translation>Frequency(Hz)</translation>
    </message>
    <message>
        <source>扫描角度分辨率(°)</source>
        <translation>AngularResolution(°)</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>恢复出厂设置</source>
        <translation>RestoreFactorySettings</translation>
    </message>
    <message>
        <source>正在恢复出厂设置</source>
        <translation>RestoringFactorySettings</translation>
    </message>
    <message>
        <source>固件更新</source>
        <translation>FirmwareUpdate</translation>
    </message>
    <message>
        <source>选择固件</source>
        <translation>SelectFirmware</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source> 设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>拖尾滤波</source>
        <translation>ShadowFilter</translation>
    </message>
    <message>
        <source>平均滤波</source>
        <translation>AverageFilter</translation>
    </message>
    <message>
        <source>输入常闭</source>
        <translation>InputNc</translation>
    </message>
    <message>
        <source>输出常闭</source>
        <translation>OutputNc</translation>
    </message>
    <message>
        <source>拖尾滤波强度</source>
        <translation>ShadowFilterStrenth</translation>
    </message>
    <message>
        <source>拖尾滤波最小距离</source>
        <translation>ShadowFilterMin</translation>
    </message>
    <message>
        <source>拖尾滤波最大距离</source>
        <translation>ShadowFilterMax</translation>
    </message>
    <message>
        <source>屏蔽强度</source>
        <translation>MaskIntensity</translation>
    </message>
    <message>
        <source>最小屏蔽角度</source>
        <translation>MaskMinAngle</translation>
    </message>
    <message>
        <source>最大屏蔽角度</source>
        <translation>MaskMaxAngle</translation>
    </message>
    <message>
        <source>状态信息</source>
        <translation>StatusInformation</translation>
    </message>
    <message>
        <source>输入端子:</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>当前生效区域:</source>
        <translation>EffectiveArea</translation>
    </message>
    <message>
        <source>输出端子:</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>输入:</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>输出:</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>区域组</source>
        <translation>AreaGroup</translation>
    </message>
    <message>
        <source>区域</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>注意区</source>
        <translation>AttentionArea</translation>
    </message>
    <message>
        <source>预警区</source>
        <translation>WarningArea</translation>
    </message>
    <message>
        <source>报警区</source>
        <translation>AlarmArea</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>检测输出延时(ms)</source>
        <translation>OnDelay(ms)</translation>
    </message>
    <message>
        <source>检测保持延时(ms)</source>
        <translation>OffDelay(ms)</translation>
    </message>
    <message>
        <source>滞后比例(%)</source>
        <translation>Hysteresis(%)</translation>
    </message>
    <message>
        <source>最小检测尺寸(°)</source>
        <translation>DetectionSize (°)</translation>
    </message>
    <message>
        <source>逆序删除</source>
        <translation>ForwardDelete</translation>
    </message>
    <message>
        <source>图形选项</source>
        <translation>GraphicsOptions</translation>
    </message>
    <message>
        <source> 读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source> 上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>SaveConfig</translation>
    </message>
    <message>
        <source>加载配置</source>
        <translation>LoadConfig</translation>
    </message>
    <message>
        <source>当前进度</source>
        <translation>CurrentProgress</translation>
    </message>
    <message>
        <source>坐标信息</source>
        <translation>CoordinateInformation</translation>
    </message>
    <message>
        <source>串口错误</source>
        <translation>SerialPort Error</translation>
    </message>
    <message>
        <source>串口断开连接，请检查连接是否正常</source>
        <translation>The serial port is disconnected. Check whether the connection is normal</translation>
    </message>
    <message>
        <source>读取区域信息超时，未能读取区域</source>
        <translation>Reading the zones timed out: the zones could not be read from the scanner</translation>
    </message>
    <message>
        <source>参数保存成功</source>
        <translation>parameters are saved successfully</translation>
    </message>
    <message>
        <source>偏置距离为:</source>
        <translation>OffsetDistance:</translation>
    </message>
    <message>
        <source>返回值:</source>
        <translation>ReturnValue:</translation>
    </message>
    <message>
        <source>偏置距离设置失败</source>
        <translation>OffsetDistanceSetFailed</translation>
    </message>
    <message>
        <source>偏置距离设置成功</source>
        <translation>OffsetDistanceSetSu  ccessfully</translation>
    </message>
    <message>
        <source>模式设置失败:</source>
        <translation>Mode Setting Failed:</translation>
    </message>
    <message>
        <source>保存厂商数据失败:</source>
        <translation>Failed to save vendor data:</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warnning</translation>
    </message>
    <message>
        <source>您确定要恢复出厂设置吗?</source>
        <translation>Are you sure you want to restore factory Settings?</translation>
    </message>
    <message>
        <source>您确定要更新固件吗?</source>
        <translation>Are you sure you want to update the firmware</translation>
    </message>
    <message>
        <source>请选择更新固件文件</source>
        <translation>SelectUpdateFirmwareFile</translation>
    </message>
    <message>
        <source>正在进入bootloader模式</source>
        <translation>Entering bootloader mode</translation>
    </message>
    <message>
        <source>当前为bootloader模式</source>
        <translation>Current bootloader mode</translation>
    </message>
    <message>
        <source>开始固件更新</source>
        <translation>Starting Firmware Update</translation>
    </message>
    <message>
        <source>当前进度为:</source>
        <translation>CurrentProgress:</translation>
    </message>
    <message>
        <source>结束固件更新</source>
        <translation>End Firmware Update</translation>
    </message>
    <message>
        <source>结束固件更新错误</source>
        <translation>The firmware update error occurs</translation>
    </message>
    <message>
        <source>md5校验成功</source>
        <translation>md5 checked successfully</translation>
    </message>
    <message>
        <source>md5校验失败</source>
        <translation>md5 check failed</translation>
    </message>
    <message>
        <source>提交更新成功，更新成功</source>
        <translation>The update is submitted successfully</translation>
    </message>
    <message>
        <source>提交更新失败，更新失败</source>
        <translation>Failed to commit update, update failed</translation>
    </message>
    <message>
        <source>第%1区域组的%2有%3个点，超过540个点，未上传任何区域</source>
        <translation>Channel %1, %2 has %3 points, more than the 540 a zone can hold; no zones were uploaded</translation>
    </message>
    <message>
        <source>第%1区域组的%2有超出-32768至32767毫米的坐标，未上传任何区域</source>
        <translation>Channel %1, %2 has a coordinate outside -32768 to 32767 mm; no zones were uploaded</translation>
    </message>
    <message>
        <source>“%1”不是毫米数，顶点未改变</source>
        <translation>&quot;%1&quot; is not a number of millimetres; the vertex was not changed</translation>
    </message>
    <message>
        <source>%1毫米超出扫描仪可保存的-32768至32767毫米，顶点未改变</source>
        <translation>%1 mm lies outside the -32768 to 32767 mm the scanner can store; the vertex was not changed</translation>
    </message>
    <message>
        <source>圆弧的另一个顶点将超出-32768至32767毫米，顶点未改变</source>
        <translation>The arc&apos;s other vertex would lie outside -32768 to 32767 mm; the vertex was not changed</translation>
    </message>
    <message>
        <source>区域上传在第%1区域组处停止：扫描仪未确认该区域组</source>
        <translation>Uploading the zones stopped at channel %1: the scanner did not acknowledge it</translation>
    </message>
    <message>
        <source>区域上传在第%1区域组处停止：扫描仪拒绝了该区域组（状态%2）</source>
        <translation>Uploading the zones stopped at channel %1: the scanner refused it (status %2)</translation>
    </message>
    <message>
        <source>区域上传在第%1区域组处停止：扫描仪中的该区域组与上传的不一致</source>
        <translation>Uploading the zones stopped at channel %1: the scanner's copy of it differs from what was sent</translation>
    </message>
    <message>
        <source>无法打开固件文件：%1</source>
        <translation>Cannot open the firmware file: %1</translation>
    </message>
    <message>
        <source>未连接扫描仪，请先打开串口</source>
        <translation>No scanner is connected: open the serial port first</translation>
    </message>
    <message>
        <source>无法打开串口%1</source>
        <translation>Cannot open the serial port %1</translation>
    </message>
    <message>
        <source>固件更新失败：%1</source>
        <translation>Firmware update failed: %1</translation>
    </message>
    <message>
        <source>读取设备模式无应答</source>
        <translation>the scanner did not answer the device mode request</translation>
    </message>
    <message>
        <source>bootloader未在规定时间内出现</source>
        <translation>the bootloader did not appear in time</translation>
    </message>
    <message>
        <source>开始固件更新无应答</source>
        <translation>the scanner did not answer the start of the update</translation>
    </message>
    <message>
        <source>第%1/%2个数据块未被确认</source>
        <translation>data chunk %1 of %2 was not acknowledged</translation>
    </message>
    <message>
        <source>第%1/%2个数据块的确认迟到、损坏或丢失，而数据块不带序号，bootloader可能已将其保存两次；更新已在校验前停止，未提交任何内容</source>
        <translation>the acknowledgement of data chunk %1 of %2 came late, damaged or not at all, and a chunk carries no index: the bootloader may hold it twice, so the update was stopped before the image check and nothing was committed</translation>
    </message>
    <message>
        <source>结束固件更新无应答</source>
        <translation>the scanner did not answer the end of the update</translation>
    </message>
    <message>
        <source>md5校验无应答</source>
        <translation>the scanner did not answer the md5 check</translation>
    </message>
    <message>
        <source>提交更新无应答</source>
        <translation>the scanner did not answer the commit</translation>
    </message>
    <message>
        <source>串口已关闭</source>
        <translation>the serial port was closed</translation>
    </message>
    <message>
        <source>拖尾滤波最小距离%1不能大于最大距离%2，未发送该设置</source>
        <translation>The shadow filter's minimum range %1 cannot be above its maximum range %2; the setting was not sent</translation>
    </message>
    <message>
        <source>扫描仪拒绝了设置“%1”（状态%2），控件改为显示扫描仪保留的值</source>
        <translation>The scanner refused the setting %1 (status %2); the control shows the value the scanner kept</translation>
    </message>
    <message>
        <source>扫描仪拒绝保存参数（状态%1），参数未保存</source>
        <translation>The scanner refused to save the parameters (status %1); nothing was saved</translation>
    </message>
    <message>
        <source>扫描仪拒绝了设置：%1；其余参数已保存</source>
        <translation>The scanner refused these settings: %1; the other parameters were saved</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>固件文件为空：%1，未发送任何数据</source>
        <translation>The firmware file is empty: %1; nothing was sent</translation>
    </message>
    <message>
        <source>等待扫描仪擦除闪存（最长%1秒）……</source>
        <translation>Waiting for the scanner to erase its flash (up to %1 s)...</translation>
    </message>
    <message>
        <source>等待扫描仪写入闪存（最长%1秒）……</source>
        <translation>Waiting for the scanner to write its flash (up to %1 s)...</translation>
    </message>
    <message>
        <source>扫描仪拒绝开始固件更新（状态%1）</source>
        <translation>the scanner refused to start the update (status %1)</translation>
    </message>
    <message>
        <source>无法打开串口%1：%2</source>
        <translation>Cannot open the serial port %1: %2</translation>
    </message>
    <message>
        <source>区域上传未完成：第%1区域组及其后的区域组没有写入扫描仪，修改仍保留在区域存储中</source>
        <translation>The zone upload is incomplete: channel %1 and the channels after it did not reach the scanner; the changes are kept in the zone store</translation>
    </message>
    <message>
        <source>固件更新失败后串口已关闭，请检查连接后重新打开串口</source>
        <translation>The serial port is closed after the failed firmware update. Check the connection and open the port again</translation>
    </message>
    <message>
        <source>未能保存它们的副本：%1</source>
        <translation>no copy of them could be saved: %1</translation>
    </message>
    <message>
        <source>它们的副本已保存在%1</source>
        <translation>a copy of them was saved as %1</translation>
    </message>
    <message>
        <source>区域存储中有尚未写入扫描仪的区域修改，%1。要把这些修改上传到扫描仪，还是读取扫描仪的区域替换它们？</source>
        <translation>The zone store holds changes the scanner has not received; %1. Upload these changes to the scanner, or read the scanner's zones in their place?</translation>
    </message>
    <message>
        <source>上传修改</source>
        <translation>Upload the changes</translation>
    </message>
    <message>
        <source>读取扫描仪区域</source>
        <translation>Read the scanner's zones</translation>
    </message>
    <message>
        <source>无法保存区域配置文件%1：%2</source>
        <translation>Cannot save the zone file %1: %2</translation>
    </message>
    <message>
        <source>无法读取区域配置文件%1：%2</source>
        <translation>Cannot read the zone file %1: %2</translation>
    </message>
    <message>
        <source>区域配置文件%1未加载：%2</source>
        <translation>The zone file %1 was not loaded: %2</translation>
    </message>
    <message>
        <source>%1是本工具自己的文件，区域配置文件不能保存在它上面</source>
        <translation>%1 is one of the tool's own files; a zone file cannot be saved over it</translation>
    </message>
    <message>
        <source>它不是普通文件</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>文件有%1字节，超过区域配置文件的上限%2字节</source>
        <translation>it has %1 bytes, more than the %2 a zone file may have</translation>
    </message>
    <message>
        <source>它不是INI格式的文件</source>
        <translation>it is not an INI file</translation>
    </message>
    <message>
        <source>文件中没有区域组</source>
        <translation>it holds no zone channels</translation>
    </message>
    <message>
        <source>缺少第%1区域组</source>
        <translation>channel %1 is missing</translation>
    </message>
    <message>
        <source>第%1区域组的%2缺少键%3</source>
        <translation>channel %1, %2 has no key %3</translation>
    </message>
    <message>
        <source>第%1区域组的%2的键%3的值“%4”不是整数</source>
        <translation>channel %1, %2, key %3: '%4' is not a whole number</translation>
    </message>
    <message>
        <source>第%1区域组的%2的键%3的值%4超出%5至%6的范围</source>
        <translation>channel %1, %2, key %3: %4 is outside %5 to %6</translation>
    </message>
    <message>
        <source>第%1区域组的%2的键%3不是每对后跟逗号的x,y坐标列表</source>
        <translation>channel %1, %2, key %3 is not a list of x,y pairs each followed by a comma</translation>
    </message>
    <message>
        <source>第%1区域组的%2有%3个点，超过540个点</source>
        <translation>channel %1, %2 has %3 points, more than the 540 a zone can hold</translation>
    </message>
    <message>
        <source>区域存储config.ini无法上传：%1，未上传任何区域</source>
        <translation>The zone store config.ini cannot be uploaded: %1; no zones were uploaded</translation>
    </message>
    <message>
        <source>无法写入区域存储config.ini：%1</source>
        <translation>Cannot write the zone store config.ini: %1</translation>
    </message>
    <message>
        <source>未找到或无法读取出厂设置文件factorySettings.ini，未恢复任何设置</source>
        <translation>The factory settings file factorySettings.ini is missing or unreadable; nothing was restored</translation>
    </message>
    <message>
        <source>无法写入区域存储config.ini，第%1区域组的修改只保留在编辑器中</source>
        <translation>Cannot write the zone store config.ini: the edits of channel %1 are only in the editor</translation>
    </message>
    <message>
        <source>导出报告…</source>
        <translation>Export report…</translation>
    </message>
    <message>
        <source>把设备信息、滤波设置和全部区域写成PDF报告</source>
        <translation>Write the device's identity, filter settings and all zones into a PDF report</translation>
    </message>
    <message>
        <source>导出报告</source>
        <translation>Export report</translation>
    </message>
    <message>
        <source>正在生成报告…</source>
        <translation>Writing the report…</translation>
    </message>
    <message>
        <source>报告已保存到%1</source>
        <translation>The report was saved to %1</translation>
    </message>
    <message>
        <source>无法写入报告%1：%2</source>
        <translation>Cannot write the report %1: %2</translation>
    </message>
    <message>
        <source>%1是本工具自己的文件，报告不能保存在它上面</source>
        <translation>%1 is one of the tool&apos;s own files; the report cannot be saved over it</translation>
    </message>
    <message>
        <source>区域无法导出：%1，未生成报告</source>
        <translation>The zones cannot be reported: %1; no report was written</translation>
    </message>
    <message>
        <source>区域指纹：%1</source>
        <translation>Zone fingerprint: %1</translation>
    </message>
    <message>
        <source>扫描仪</source>
        <translation>the scanner</translation>
    </message>
    <message>
        <source>区域文件 %1</source>
        <translation>zone file %1</translation>
    </message>
    <message>
        <source>本程序的区域，尚未上传到扫描仪</source>
        <translation>this program's zones, not yet uploaded to the scanner</translation>
    </message>
    <message>
        <source>调试报告</source>
        <translation>Commissioning report</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>not known</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>型号</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>批次号</source>
        <translation>Lot</translation>
    </message>
    <message>
        <source>固件版本</source>
        <translation>Firmware version</translation>
    </message>
    <message>
        <source>日期和时间</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>滤波与输出设置</source>
        <translation>Filter and output settings</translation>
    </message>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>拖尾滤波开关</source>
        <translation>Shadow filter</translation>
    </message>
    <message>
        <source>拖尾滤波的强度</source>
        <translation>Shadow filter strength</translation>
    </message>
    <message>
        <source>拖尾滤波的最小距离</source>
        <translation>Shadow filter minimum range</translation>
    </message>
    <message>
        <source>拖尾滤波的最大距离</source>
        <translation>Shadow filter maximum range</translation>
    </message>
    <message>
        <source>平均滤波开关</source>
        <translation>Average filter</translation>
    </message>
    <message>
        <source>输入为常闭</source>
        <translation>Inputs normally closed</translation>
    </message>
    <message>
        <source>输出为常闭</source>
        <translation>Outputs normally closed</translation>
    </message>
    <message>
        <source>屏蔽的强度</source>
        <translation>Mask intensity</translation>
    </message>
    <message>
        <source>屏蔽的最小角度</source>
        <translation>Mask minimum angle</translation>
    </message>
    <message>
        <source>屏蔽的最大角度</source>
        <translation>Mask maximum angle</translation>
    </message>
    <message>
        <source>全部区域</source>
        <translation>Zones</translation>
    </message>
    <message>
        <source>区域指纹（MD5）</source>
        <translation>Zone fingerprint (MD5)</translation>
    </message>
    <message>
        <source>区域来源</source>
        <translation>Zones from</translation>
    </message>
    <message>
        <source>含区域的区域组</source>
        <translation>Channels with zones</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>签名</source>
        <translation>Signature</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>区域指纹 %1</source>
        <translation>Zone fingerprint %1</translation>
    </message>
    <message>
        <source>第%1页，共%2页</source>
        <translation>page %1 of %2</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>无法绘制报告</source>
        <translation>the report could not be drawn</translation>
    </message>
    <message>
        <source>注意区域</source>
        <translation>Attention area</translation>
    </message>
    <message>
        <source>预警区域</source>
        <translation>Warning area</translation>
    </message>
    <message>
        <source>报警区域</source>
        <translation>Alarm area</translation>
    </message>
    <message>
        <source>无形状</source>
        <translation>no shape</translation>
    </message>
    <message>
        <source>多边形</source>
        <translation>polygon</translation>
    </message>
    <message>
        <source>圆弧</source>
        <translation>arc</translation>
    </message>
    <message>
        <source>矩形</source>
        <translation>rectangle</translation>
    </message>
    <message>
        <source>单值类型%1，比例值%2</source>
        <translation>single-value type %1, scale %2</translation>
    </message>
    <message>
        <source>类型%1</source>
        <translation>type %1</translation>
    </message>
    <message>
        <source>区域组 %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>区域组 %1（续）</source>
        <translation>Channel %1 (continued)</translation>
    </message>
    <message>
        <source>%1，%2个顶点</source>
        <translation>%1, %2 vertices</translation>
    </message>
    <message>
        <source>视场（10 m，270°）</source>
        <translation>Field of view (10 m, 270°)</translation>
    </message>
    <message>
        <source>盲区</source>
        <translation>Blind sector</translation>
    </message>
    <message>
        <source>网格间距1 m，坐标单位mm</source>
        <translation>Grid every 1 m, coordinates in mm</translation>
    </message>
    <message>
        <source>形状</source>
        <translation>Shape</translation>
    </message>
    <message>
        <source>顶点数</source>
        <translation>Vertices</translation>
    </message>
    <message>
        <source>开启延时</source>
        <translation>On delay</translation>
    </message>
    <message>
        <source>保持延时</source>
        <translation>Off delay</translation>
    </message>
    <message>
        <source>滞后</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>最小检测尺寸</source>
        <translation>Detectable size</translation>
    </message>
    <message>
        <source>顶点（x, y，单位mm）</source>
        <translation>Vertices (x, y in mm)</translation>
    </message>
    <message>
        <source>%1（续）</source>
        <translation>%1 (continued)</translation>
    </message>
    <message>
        <source>无顶点</source>
        <translation>no vertices</translation>
    </message>
    <message>
        <source>录制扫描…</source>
        <translation>Record scans…</translation>
    </message>
    <message>
        <source>把扫描仪发来的每一帧连同到达时间录制到pcap文件，Wireshark可以打开</source>
        <translation>Record every frame the scanner sends, with its arrival time, into a pcap file that Wireshark opens</translation>
    </message>
    <message>
        <source>录制扫描</source>
        <translation>Record scans</translation>
    </message>
    <message>
        <source>pcap文件 (*.pcap)</source>
        <translation>pcap files (*.pcap)</translation>
    </message>
    <message>
        <source>无法录制到%1：%2</source>
        <translation>Cannot record to %1: %2</translation>
    </message>
    <message>
        <source>录制已保存到%1：%2帧，%3，%4</source>
        <translation>Recording saved to %1: %2 frames, %3, %4</translation>
    </message>
    <message>
        <source>无法写入录制文件%1，录制已停止：%2</source>
        <translation>Cannot write the recording %1; the recording has stopped: %2</translation>
    </message>
    <message>
        <source>正在录制 %1 · %2</source>
        <translation>Recording %1 · %2</translation>
    </message>
    <message>
        <source>由扫描生成区域</source>
        <translation>Zone from scan</translation>
    </message>
    <message>
        <source>把最近几次扫描留出的空间减去余量，作为区域页当前编辑区域的多边形</source>
        <translation>Make the area edited on the zone page the polygon that the latest scans leave free, less a margin</translation>
    </message>
    <message>
        <source>还没有收到扫描，无法由扫描生成区域：请先连接扫描仪</source>
        <translation>No scan has arrived yet, so there is nothing to draw a zone from: connect the scanner first</translation>
    </message>
    <message>
        <source>扫描中没有视场内的测量点，区域未改变</source>
        <translation>The scans hold no measurement in the field of view; the zone is unchanged</translation>
    </message>
    <message>
        <source>由%1次扫描生成了%2的区域：%3个顶点</source>
        <translation>%2 drawn from %1 scans: %3 vertices</translation>
    </message>
    <message>
        <source>扫描次数</source>
        <translation>Scans</translation>
    </message>
    <message>
        <source>余量</source>
        <translation>Margin</translation>
    </message>
    <message>
        <source>容差</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>每个方向取这些扫描中最近的回波，区域与每个回波至少保持余量的距离；25次扫描约为一秒</source>
        <translation>For each direction the nearest echo of these scans is taken, and the zone keeps at least the margin from every echo; 25 scans are about one second</translation>
    </message>
    <!-- Menus: working offline, comparing zone sets, undo and redo. -->
    <message>
        <source>离线工作</source>
        <translation>Work offline</translation>
    </message>
    <message>
        <source>不连接扫描仪编辑区域：绘制、输入、保存和加载区域配置文件</source>
        <translation>Edit zones without a scanner: draw, type, save and load zone files</translation>
    </message>
    <message>
        <source>与文件比较...</source>
        <translation>Compare with file...</translation>
    </message>
    <message>
        <source>列出区域存储与一个区域配置文件（或扫描仪）之间的差异</source>
        <translation>List what differs between the zone store and a zone file (or the scanner)</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>撤销%1</source>
        <translation>Undo %1</translation>
    </message>
    <message>
        <source>撤销区域页上的上一步编辑</source>
        <translation>Take back the last edit of the zone page</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>重做%1</source>
        <translation>Redo %1</translation>
    </message>
    <message>
        <source>重做上一步撤销的编辑</source>
        <translation>Do again the edit last taken back</translation>
    </message>
    <message>
        <source>移动顶点%1</source>
        <translation>Move vertex %1</translation>
    </message>
    <message>
        <source>输入顶点%1</source>
        <translation>Type vertex %1</translation>
    </message>
    <message>
        <source>新建多边形</source>
        <translation>New polygon</translation>
    </message>
    <message>
        <source>新建圆弧</source>
        <translation>New arc</translation>
    </message>
    <message>
        <source>新建矩形</source>
        <translation>New rectangle</translation>
    </message>
    <message>
        <source>清除%1</source>
        <translation>Clear %1</translation>
    </message>
    <message>
        <source>修改%1</source>
        <translation>Change %1</translation>
    </message>
    <message>
        <source>替换%1</source>
        <translation>Replace %1</translation>
    </message>
    <message>
        <source>加载%1</source>
        <translation>Load %1</translation>
    </message>
    <message>
        <source>比较区域</source>
        <translation>Compare zones</translation>
    </message>
    <message>
        <source>与扫描仪比较</source>
        <translation>Compare with scanner</translation>
    </message>
    <message>
        <source>区域存储</source>
        <translation>Zone store</translation>
    </message>
    <message>
        <source>项目</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>第%1个顶点</source>
        <translation>Vertex %1</translation>
    </message>
    <message>
        <source>单值参数(%1)</source>
        <translation>Parameter (%1)</translation>
    </message>
    <message>
        <source>区域存储与%1相同</source>
        <translation>The zone store and %1 are equal</translation>
    </message>
    <message>
        <source>区域存储与%1有%2处不同</source>
        <translation>The zone store and %1 differ in %2 places</translation>
    </message>
    <message>
        <source>无法与区域配置文件%1比较：%2</source>
        <translation>Cannot compare with the zone file %1: %2</translation>
    </message>
    <message>
        <source>读取扫描仪区域超时，未能比较</source>
        <translation>Reading the scanner's zones timed out: nothing was compared</translation>
    </message>
    <message>
        <source>扫描仪的区域</source>
        <translation>The scanner&apos;s zones</translation>
    </message>
    <message>
        <source>区域存储与%1有1处不同</source>
        <translation>The zone store and %1 differ in 1 place</translation>
    </message>
    <message>
        <source>%1，1个顶点</source>
        <translation>%1, 1 vertex</translation>
    </message>
    <message>
        <source>录制已保存到%1：1帧，%2，%3</source>
        <translation>Recording saved to %1: 1 frame, %2, %3</translation>
    </message>
    <message>
        <source>它就是正在读取的文件%1</source>
        <translation>it is %1, the file being read</translation>
    </message>
    <message>
        <source>这是一个设备，不是普通文件</source>
        <translation>it is a device, not a regular file</translation>
    </message>
    <message>
        <source>这是一个指向不存在文件的链接</source>
        <translation>it is a link to a file that does not exist</translation>
    </message>
    <message>
        <source>这不是普通文件</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>文件夹%1不存在</source>
        <translation>the folder %1 does not exist</translation>
    </message>
    <message>
        <source>文件夹%1不能写入（%2）</source>
        <translation>the folder %1 cannot be written (%2)</translation>
    </message>
    <message>
        <source>文件不允许写入（%1）</source>
        <translation>the file may not be written (%1)</translation>
    </message>
    <message>
        <source>%1已存在。要替换它吗？</source>
        <translation>%1 already exists. Do you want to replace it?</translation>
    </message>
    <message>
        <source>%1是本工具自己的文件，录制不能保存在它上面</source>
        <translation>%1 is one of the tool's own files; a recording cannot be saved over it</translation>
    </message>
    <message>
        <source>上次运行结束时区域存储中有尚未写入扫描仪的区域，已保存在%1</source>
        <translation>The last run ended with zones in the store that the scanner had not received; they were kept in %1</translation>
    </message>
    <message>
        <source>上次运行结束时区域存储中有尚未写入扫描仪的区域，未能保存它们的副本：%1</source>
        <translation>The last run ended with zones in the store that the scanner had not received; no copy of them could be kept: %1</translation>
    </message>
    <message>
        <source>区域存储中有尚未写入扫描仪的区域修改。关闭前要把它们保存到区域配置文件吗？不保存的话，它们在程序关闭后就没有了。</source>
        <translation>The zone store holds zone changes the scanner has not received. Save them to a zone file before closing? Unsaved, they are gone once the program closes.</translation>
    </message>
    <message>
        <source>保存到文件…</source>
        <translation>Save to file…</translation>
    </message>
    <message>
        <source>不保存，关闭</source>
        <translation>Close without saving</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>config.ini已被其他程序修改：写入前已读入它的修改（改动的区域：%1）</source>
        <translation>config.ini was changed by another program: its changes were read in before writing (areas changed: %1)</translation>
    </message>
    <message>
        <source>；被替换的未上传区域已保存在%1</source>
        <translation>; the unsent zones it replaced were kept in %1</translation>
    </message>
    <message>
        <source>；未能保存被替换的未上传区域：%1</source>
        <translation>; the unsent zones it replaced could not be kept: %1</translation>
    </message>
    <message>
        <source>%1°，%2毫米</source>
        <translation>%1° at %2 mm</translation>
    </message>
    <message>
        <source>以下回波离扫描仪比余量还近，区域在它们的方向上留出了通向扫描仪的缺口：%1</source>
        <translation>These echoes lie nearer to the scanner than the margin; the zone leaves their directions out down to the scanner: %1</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>视图</source>
        <translation>View</translation>
    </message>
    <message>
        <source>复制区域</source>
        <translation>Copy area</translation>
    </message>
    <message>
        <source>复制所编辑的区域：形状、顶点和参数</source>
        <translation>Copy the edited area: its shape, vertices and parameters</translation>
    </message>
    <message>
        <source>粘贴区域</source>
        <translation>Paste area</translation>
    </message>
    <message>
        <source>用复制的区域替换所编辑的区域</source>
        <translation>Replace the edited area with the copied one</translation>
    </message>
    <message>
        <source>复制通道到…</source>
        <translation>Copy channel to…</translation>
    </message>
    <message>
        <source>把所编辑区域组的三个区域复制到其他区域组，例如 8-15, 20</source>
        <translation>Copy the edited channel's three areas to other channels, e.g. 8-15, 20</translation>
    </message>
    <message>
        <source>镜像区域</source>
        <translation>Mirror area</translation>
    </message>
    <message>
        <source>以扫描仪的正前方为轴左右镜像所编辑的区域</source>
        <translation>Mirror the edited area about the scanner's forward axis</translation>
    </message>
    <message>
        <source>对齐网格</source>
        <translation>Snap to grid</translation>
    </message>
    <message>
        <source>拖动的顶点落在网格上；输入的数值不对齐</source>
        <translation>Dragged vertices land on the grid; typed values are never snapped</translation>
    </message>
    <message>
        <source>测量</source>
        <translation>Measure</translation>
    </message>
    <message>
        <source>点击两点显示距离和方向，Esc清除</source>
        <translation>Click two points to show their distance and direction; Esc clears</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>适合窗口</source>
        <translation>Zoom to fit</translation>
    </message>
    <message>
        <source>显示三个区域和整个视场</source>
        <translation>Show the three areas and the whole field of view</translation>
    </message>
    <message>
        <source>网格间距</source>
        <translation>Grid spacing</translation>
    </message>
    <message>
        <source>已复制第%1区域组的%2</source>
        <translation>Copied the %2 of channel %1</translation>
    </message>
    <message>
        <source>没有复制的区域可粘贴</source>
        <translation>There is no copied area to paste</translation>
    </message>
    <message>
        <source>粘贴到%1</source>
        <translation>Paste into %1</translation>
    </message>
    <message>
        <source>镜像%1</source>
        <translation>Mirror %1</translation>
    </message>
    <message>
        <source>把第%1区域组的三个区域复制到这些区域组（例如 8-15, 20）：</source>
        <translation>Copy the three areas of channel %1 to these channels (e.g. 8-15, 20):</translation>
    </message>
    <message>
        <source>“%1”不是0至63的区域组编号或范围</source>
        <translation>“%1” is not a channel number or range from 0 to 63</translation>
    </message>
    <message>
        <source>没有其他区域组可复制到</source>
        <translation>There is no other channel to copy to</translation>
    </message>
    <message>
        <source>第%1区域组的三个区域将替换%2个区域组（%3）的区域。继续吗？</source>
        <translation>The three areas of channel %1 will replace the areas of %2 channels (%3). Continue?</translation>
    </message>
    <message>
        <source>复制第%1区域组到%2个区域组</source>
        <translation>Copy channel %1 to %2 channels</translation>
    </message>
    <message>
        <source>第%1区域组已复制到%2个区域组，尚未上传到扫描仪</source>
        <translation>Channel %1 was copied to %2 channels, not yet uploaded to the scanner</translation>
    </message>
    <message>
        <source>距离 %1 mm，方向 %2°</source>
        <translation>Distance %1 mm, direction %2°</translation>
    </message>
    <message>
        <source>删除顶点%1</source>
        <translation>Delete vertex %1</translation>
    </message>
</context>
</TS>
