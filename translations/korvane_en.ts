<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>korvane::AboutDialog</name>
    <message>
        <source>T3固件烧写工具 V1.0.0</source>
        <translation>T3 Firmware Tool V1.0.0</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>korvane::BatchPage</name>
    <message>
        <source>不是IP地址</source>
        <translation>not an IP address</translation>
    </message>
    <message>
        <source>端口应为1到65535</source>
        <translation>the port must be from 1 to 65535</translation>
    </message>
    <message>
        <source>不是地址范围A-B（最多1024个地址）</source>
        <translation>not an address range A-B (at most 1024 addresses)</translation>
    </message>
    <message>
        <source>未开始（已取消）</source>
        <translation>Not started (cancelled)</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Succeeded</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>%1文件</source>
        <translation>%1 file</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>面板</source>
        <translation>Panel</translation>
    </message>
    <message>
        <source>添加面板:</source>
        <translation>Add panels:</translation>
    </message>
    <message>
        <source>IP地址[:端口]、地址范围A-B或串口设备</source>
        <translation>IP address[:port], address range A-B or serial device</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>查找范围:</source>
        <translation>Search range:</translation>
    </message>
    <message>
        <source>查找面板</source>
        <translation>Find panels</translation>
    </message>
    <message>
        <source>面板列表</source>
        <translation>Panel list</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>步骤</source>
        <translation>Steps</translation>
    </message>
    <message>
        <source>引导程序</source>
        <translation>Boot loader</translation>
    </message>
    <message>
        <source>内核</source>
        <translation>Kernel</translation>
    </message>
    <message>
        <source>文件系统</source>
        <translation>File system</translation>
    </message>
    <message>
        <source>LOGO</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>LOGO图片</source>
        <translation>Logo picture</translation>
    </message>
    <message>
        <source>型号:</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>设置时钟（本机当前时间）</source>
        <translation>Set clock (this computer&apos;s time)</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>导出日志</source>
        <translation>Export log</translation>
    </message>
    <message>
        <source>图片 (*.bmp *.gif *.jpg *.jpeg *.png);;所有文件 (*)</source>
        <translation>Pictures (*.bmp *.gif *.jpg *.jpeg *.png);;All files (*)</translation>
    </message>
    <message>
        <source>以下输入不是面板（IP地址[:端口]、地址范围A-B或串口设备）：
%1</source>
        <translation>These entries are no panels (IP address[:port], address range A-B or serial device):
%1</translation>
    </message>
    <message>
        <source>进度 %1</source>
        <translation>Progress %1</translation>
    </message>
    <message>
        <source>查找范围无效：%1
请输入地址范围，如 192.168.0.1-254。</source>
        <translation>The search range is not valid: %1
Enter an address range, such as 192.168.0.1-254.</translation>
    </message>
    <message>
        <source>正在查找面板...</source>
        <translation>Finding panels...</translation>
    </message>
    <message>
        <source>无法打开网络端口: %1</source>
        <translation>Cannot open a network port: %1</translation>
    </message>
    <message>
        <source>找到 %1 个面板。</source>
        <translation>Found %1 panels.</translation>
    </message>
    <message>
        <source>请选择LOGO图片。</source>
        <translation>Choose the logo picture.</translation>
    </message>
    <message>
        <source>没有已知的触摸屏型号，不能生成LOGO文件。</source>
        <translation>No touch panel model is known: the logo file cannot be made.</translation>
    </message>
    <message>
        <source>不能写入LOGO文件: </source>
        <translation>Cannot write the logo file: </translation>
    </message>
    <message>
        <source>请选择%1文件。</source>
        <translation>Choose the %1 file.</translation>
    </message>
    <message>
        <source>不能读取%1文件 %2：%3</source>
        <translation>Cannot read the %1 file %2: %3</translation>
    </message>
    <message>
        <source>请至少选择一个步骤。</source>
        <translation>Choose at least one step.</translation>
    </message>
    <message>
        <source>请先添加面板。</source>
        <translation>Add panels first.</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>进行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>进行中（第 %1/%2 步）</source>
        <translation>Running (step %1 of %2)</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>不能读取运行记录 %1：%2</source>
        <translation>Cannot read the run log %1: %2</translation>
    </message>
    <message>
        <source>日志未能导出：无法写入 %1（%2）。</source>
        <translation>The log was not exported: cannot write %1 (%2).</translation>
    </message>
    <message>
        <source>已导出 %1 条记录到 %2</source>
        <translation>Exported %1 records to %2</translation>
    </message>
    <message numerus="yes">
        <source>正在烧写 %n 台面板...</source>
        <translation>
            <numerusform>Programming %n panel...</numerusform>
            <numerusform>Programming %n panels...</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>共 %n 台：成功 %1，失败 %2，取消 %3（用时 %4 秒）</source>
        <translation>
            <numerusform>%n panel: %1 succeeded, %2 failed, %3 cancelled (%4 s)</numerusform>
            <numerusform>%n panels: %1 succeeded, %2 failed, %3 cancelled (%4 s)</numerusform>
        </translation>
    </message>
    <message>
        <source>面板</source>
        <comment>the group of the batch&apos;s panels</comment>
        <translation>Panels</translation>
    </message>
</context>
<context>
    <name>korvane::DesktopProgressSink</name>
    <message>
        <source>等待面板擦除映像区域，最多还需 %1 秒</source>
        <translation>Waiting for the panel to erase the image area, at most %1 s more</translation>
    </message>
    <message>
        <source>等待面板擦除Flash，最多还需 %1 秒</source>
        <translation>Waiting for the panel to erase the flash, at most %1 s more</translation>
    </message>
    <message>
        <source>等待面板烧写结果，最多还需 %1 秒</source>
        <translation>Waiting for the panel to report the burn, at most %1 s more</translation>
    </message>
</context>
<context>
    <name>korvane::LinkSettingsDialog</name>
    <message>
        <source>通讯参数设置</source>
        <translation>Link settings</translation>
    </message>
    <message>
        <source>通讯方式选择</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>网口</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>串口号:</source>
        <translation>COM port:</translation>
    </message>
    <message>
        <source>跳线</source>
        <translation>Jumper</translation>
    </message>
    <message>
        <source>找到的面板(&amp;F):</source>
        <translation>&amp;Found panels:</translation>
    </message>
    <message>
        <source>查找进度</source>
        <translation>Search progress</translation>
    </message>
    <message>
        <source>串口号</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>本机无此串口</source>
        <translation>No such port on this computer</translation>
    </message>
    <message>
        <source>面板报告的地址: %1:%2</source>
        <translation>Address the panel reports: %1:%2</translation>
    </message>
    <message>
        <source>未找到面板。请确认本机与面板在同一网段（新面板的地址为 192.168.0.100），端口为 %1。</source>
        <translation>No panel found. Check that this computer and the panel are on the same network (a new panel has the address 192.168.0.100) and that the port is %1.</translation>
    </message>
    <message>
        <source>找到 %1 个面板，选中一个即填入其地址和端口。</source>
        <translation>%1 panel(s) found. Choose one to fill in its address and port.</translation>
    </message>
    <message>
        <source>查找已取消。</source>
        <translation>Search cancelled.</translation>
    </message>
    <message>
        <source>本机没有可发送广播的网络接口。</source>
        <translation>This computer has no network interface that can broadcast.</translation>
    </message>
    <message>
        <source>查找范围无效。</source>
        <translation>The search range is not valid.</translation>
    </message>
    <message>
        <source>无法打开网络端口: %1</source>
        <translation>Cannot open the network port: %1</translation>
    </message>
</context>
<context>
    <name>korvane::LogoPickerDialog</name>
    <message>
        <source>LOGO背景色(&amp;C)</source>
        <translation>Logo background &amp;colour</translation>
    </message>
    <message>
        <source>选择LOGO图片</source>
        <translation>Choose the logo picture</translation>
    </message>
    <message>
        <source>LOGO图片</source>
        <translation>Logo picture</translation>
    </message>
    <message>
        <source>触摸屏类型(&amp;T)：</source>
        <translation>Touch screen &amp;type:</translation>
    </message>
</context>
<context>
    <name>korvane::MainWindow</name>
    <message>
        <source>网口</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>USB口</source>
        <translation>USB</translation>
    </message>
    <message>
        <source>T3固件烧写工具(V1.0.0)</source>
        <translation>T3 Firmware Tool (V1.0.0)</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>&lt;&lt;上页</source>
        <translation>&lt;&lt; Previous</translation>
    </message>
    <message>
        <source>下页&gt;&gt;</source>
        <translation>Next &gt;&gt;</translation>
    </message>
    <message>
        <source>通讯参数设置</source>
        <translation>Link settings</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>关于…</source>
        <translation>About…</translation>
    </message>
    <message>
        <source>当前通讯方式:</source>
        <translation>Current link:</translation>
    </message>
    <message>
        <source>串口号:</source>
        <translation>COM port:</translation>
    </message>
    <message>
        <source>语言:</source>
        <translation>Language:</translation>
    </message>
</context>
<context>
    <name>korvane::MaintenancePage</name>
    <message>
        <source>HMI IP/PORT 操作</source>
        <translation>HMI IP/PORT</translation>
    </message>
    <message>
        <source>通讯方式:</source>
        <translation>Link:</translation>
    </message>
    <message>
        <source>获取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>网关:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>子网掩码:</source>
        <translation>Subnet mask:</translation>
    </message>
    <message>
        <source>HMI MAC地址操作</source>
        <translation>HMI MAC address</translation>
    </message>
    <message>
        <source>更改MAC地址</source>
        <translation>Change MAC address</translation>
    </message>
    <message>
        <source>HMI 时间操作</source>
        <translation>HMI clock</translation>
    </message>
    <message>
        <source>面板时间:</source>
        <translation>Panel time:</translation>
    </message>
    <message>
        <source>日期:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>时间:</source>
        <translation>Time:</translation>
    </message>
    <message>
        <source>HMI Flash 操作</source>
        <translation>HMI flash</translation>
    </message>
    <message>
        <source>更新BootLoader</source>
        <translation>Boot loader</translation>
    </message>
    <message>
        <source>更新内核</source>
        <translation>Kernel</translation>
    </message>
    <message>
        <source>更新LOGO</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>擦除Flash</source>
        <translation>Erase flash</translation>
    </message>
    <message>
        <source>更多…</source>
        <translation>More…</translation>
    </message>
    <message>
        <source>结束下载</source>
        <translation>End download</translation>
    </message>
    <message>
        <source>进入下载</source>
        <translation>Enter download</translation>
    </message>
    <message>
        <source>更新文件系统</source>
        <translation>File system</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>操作状态:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>网口</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>读取文件失败: </source>
        <translation>Cannot read the file: </translation>
    </message>
    <message>
        <source>程序所在文件夹中的 XMLName.dat</source>
        <translation>XMLName.dat in the program&apos;s folder</translation>
    </message>
    <message>
        <source>没有已知的触摸屏型号，不能生成LOGO文件。
型号列表文件：</source>
        <translation>No touch screen model is known, so no logo file can be made.
Model list file: </translation>
    </message>
    <message>
        <source>不能写入LOGO文件: </source>
        <translation>Cannot write the logo file: </translation>
    </message>
</context>
<context>
    <name>korvane::PageList</name>
    <message>
        <source>页面列表</source>
        <translation>Page list</translation>
    </message>
</context>
<context>
    <name>korvane::ResourceBundle</name>
    <message>
        <source>关于 OrvelManager(&amp;A)...</source>
        <translation>&amp;About OrvelManager...</translation>
    </message>
    <message>
        <source>图片尺寸大于触摸屏的大小，打开图片错误！</source>
        <translation>The picture is larger than the touch screen; cannot open the picture!</translation>
    </message>
    <message>
        <source>下载完成，请等待烧写成功！</source>
        <translation>Download complete; wait until the burn has succeeded!</translation>
    </message>
    <message>
        <source>请等待擦写Flash成功！</source>
        <translation>Wait until the flash has been erased and written!</translation>
    </message>
</context>
<context>
    <name>korvane::Startup</name>
    <message>
        <source>系统处理</source>
        <translation>System</translation>
    </message>
    <message>
        <source>批量烧写</source>
        <translation>Batch programming</translation>
    </message>
</context>
<context>
    <name>korvane::Window</name>
    <message>
        <source>无效的网络端口号!</source>
        <translation>Invalid network port number!</translation>
    </message>
    <message>
        <source>查找面板</source>
        <translation>Find panels</translation>
    </message>
    <message>
        <source>图片尺寸大于触摸屏的大小，打开图片错误！</source>
        <translation>The picture is larger than the touch screen; cannot open the picture!</translation>
    </message>
    <message>
        <source>未选择图片!</source>
        <translation>No picture chosen!</translation>
    </message>
    <message>
        <source>图片过大!</source>
        <translation>The picture is too large!</translation>
    </message>
    <message>
        <source>新地址可能使面板无法再连接：</source>
        <translation>The new address may leave the panel unreachable:</translation>
    </message>
    <message>
        <source>面板不能保存并报回这个时间：</source>
        <translation>The panel cannot keep and report back this time:</translation>
    </message>
    <message>
        <source>这个文件会覆盖Flash中的下一个区域：</source>
        <translation>This file would overwrite the next area of the flash:</translation>
    </message>
    <message>
        <source>仍要发送吗？</source>
        <translation>Send anyway?</translation>
    </message>
    <message>
        <source>请注意：</source>
        <translation>Please note:</translation>
    </message>
    <message>
        <source>正在配置通讯参数中，请等待............</source>
        <translation>Configuring the link, please wait............</translation>
    </message>
    <message>
        <source>烧写正在进行。是否取消并关闭窗口？
面板将保留已经写入的内容。</source>
        <translation>Programming is under way. Cancel it and close the window?
The panel keeps what has been written so far.</translation>
    </message>
    <message>
        <source>批量烧写正在进行。是否取消并关闭窗口？
各面板将保留已经写入的内容。</source>
        <translation>A batch is running. Cancel it and close the window?
Each panel keeps what has been written to it.</translation>
    </message>
</context>
<context>
    <name>korvane::WindowLanguage</name>
    <message>
        <source>zh</source>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>korvane::WindowText</name>
    <message>
        <source>已取消：面板保留已经写入的内容。</source>
        <translation>Cancelled: the panel keeps what it had written so far.</translation>
    </message>
    <message>
        <source>操作进行中，不能更改通讯参数。</source>
        <translation>A run is under way; the link cannot be changed now.</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>请输入完整的IP地址!</source>
        <translation>Enter the whole IP address.</translation>
    </message>
    <message>
        <source>通讯参数未保存：无法写入 %1（%2）。</source>
        <translation>The settings were not saved: cannot write %1 (%2).</translation>
    </message>
    <message>
        <source>本程序没有通讯参数文件：设置只在本次运行中有效。</source>
        <translation>This program has no settings file: the settings hold for this run only.</translation>
    </message>
    <message>
        <source>图片不存在：%1
它可能已被删除或移动。</source>
        <translation>The picture does not exist: %1
It may have been deleted or moved.</translation>
    </message>
    <message>
        <source>不能打开图片：%1
%2</source>
        <translation>Cannot open the picture: %1
%2</translation>
    </message>
    <message>
        <source>图片文件是空的：%1</source>
        <translation>The picture file is empty: %1</translation>
    </message>
    <message>
        <source>不能识别图片：%1
文件已损坏，或不是BMP、GIF、JPEG、PNG图片（%2）。</source>
        <translation>Cannot decode the picture: %1
The file is damaged or not a BMP, GIF, JPEG or PNG picture (%2).</translation>
    </message>
    <message>
        <source>图片太大，不能打开：%1
图片为 %2 x %3 像素，LOGO图片最多 131072 像素。</source>
        <translation>The picture is too large to open: %1
It is %2 x %3 pixels; a logo picture has at most 131072 pixels.</translation>
    </message>
    <message>
        <source>LOGO文件已写入：
%1</source>
        <translation>The logo file was written to:
%1</translation>
    </message>
    <message>
        <source>通讯参数文件有误（%1）。现使用默认设置；在“设置”中保存后将替换该文件。</source>
        <translation>The saved settings cannot be used (%1). The defaults are in use; saving the settings replaces the file.</translation>
    </message>
    <message>
        <source>操作进行中，不能更改界面语言。</source>
        <translation>A run is under way; the language cannot be changed now.</translation>
    </message>
    <message>
        <source>界面语言未能保存到 %1：下次启动时仍使用原来的语言。</source>
        <translation>The language could not be saved in %1: the next start uses the earlier language.</translation>
    </message>
</context>
</TS>
